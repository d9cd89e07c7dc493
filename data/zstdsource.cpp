#include "sources.h"

#include <zstd.h>

#include <cstring>
#include <vector>

namespace {

constexpr qint64 kInputSize = 1 << 20;

} // namespace

struct ZstdSource::Decoder {
    QFile file;
    ZSTD_DCtx *context = ZSTD_createDCtx();
    std::vector<char> input = std::vector<char>(kInputSize);
    ZSTD_inBuffer in{input.data(), 0, 0};
    bool endOfFile = false;
    size_t hint = 1;  // the decoder's last answer: 0 once every frame begun has ended
    qint64 out = 0;   // decompressed bytes given or skipped so far
    qint64 skip = 0;  // decompressed bytes to drop before giving any

    ~Decoder() { ZSTD_freeDCtx(context); }

    bool restart()
    {
        ZSTD_DCtx_reset(context, ZSTD_reset_session_only);
        in.size = in.pos = 0;
        endOfFile = false;
        hint = 1;
        out = 0;
        return file.seek(0);
    }
};

ZstdSource::ZstdSource() : d_(std::make_unique<Decoder>()) {}

ZstdSource::~ZstdSource() = default;

bool ZstdSource::open(const QString &path)
{
    d_->file.setFileName(path);
    return d_->context && d_->file.open(QIODevice::ReadOnly);
}

qint64 ZstdSource::read(char *to, qint64 room, qint64 &offset)
{
    Decoder &d = *d_;
    if (damaged())
        return -1;
    for (;;) {
        if (d.in.pos == d.in.size && !d.endOfFile) {
            const qint64 got = d.file.read(d.input.data(), kInputSize);
            if (got < 0)
                return fail();
            d.endOfFile = got == 0;
            d.in.size = size_t(got);
            d.in.pos = 0;
        }
        if (d.in.pos == d.in.size && d.endOfFile && d.hint == 0)
            return 0; // the end, every frame whole
        ZSTD_outBuffer output{to, size_t(room), 0};
        const size_t inputBefore = d.in.pos;
        d.hint = ZSTD_decompressStream(d.context, &output, &d.in);
        if (ZSTD_isError(d.hint))
            return fail();
        const qint64 got = qint64(output.pos);
        if (got == 0 && d.in.pos == inputBefore && d.endOfFile)
            return fail(); // a frame cut short
        // Cut short: told at once, as soon as the whole rest was decompressed.
        if (d.hint != 0 && output.pos < output.size && d.in.pos == d.in.size && d.file.atEnd())
            return fail();
        d.out += got;
        const qint64 drop = std::min(d.skip, got);
        d.skip -= drop;
        if (drop == got)
            continue;
        if (drop > 0)
            std::memmove(to, to + drop, size_t(got - drop));
        offset = d.out - (got - drop);
        return got - drop;
    }
}

bool ZstdSource::seek(qint64 offset)
{
    // No way back but from the start.
    if (offset < d_->out && !d_->restart())
        return false;
    d_->skip = offset - d_->out;
    return true;
}
