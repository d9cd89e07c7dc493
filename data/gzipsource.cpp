#include "sources.h"

#include <isa-l/igzip_lib.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr qint64 kInputSize = 1 << 20;
// Past kMaxPoints seek points, every other one is dropped and the distance
// between them doubles, so a file of any size keeps a few MiB of them at most.
constexpr size_t kMaxPoints = 256;

// The inflater's state up to its output buffer, which only matters as far
// as it holds bytes: the rest is unused space.
constexpr size_t kStateHead = offsetof(inflate_state, tmp_out_buffer);

} // namespace

// A place where inflating can go on: the inflater's whole state there (with
// the last 32 KiB it gave, which later data may copy from), where its input
// stands in the file, and how many bytes it had given.
struct SeekPoint {
    qint64 out = 0;
    qint64 in = 0;
    QByteArray state;
};

class SeekPoints
{
public:
    std::vector<SeekPoint> points; // in the order of `out`
    qint64 distance = 4 << 20;
};

struct GzipSource::Inflater {
    QFile file;
    std::vector<uint8_t> input = std::vector<uint8_t>(kInputSize);
    qint64 inputAt = 0; // file offset of input[0]
    inflate_state state;
    qint64 out = 0;  // decompressed bytes given or skipped so far
    qint64 skip = 0; // decompressed bytes to drop before giving any
    std::shared_ptr<SeekPoints> taken = std::make_shared<SeekPoints>();
    std::shared_ptr<const SeekPoints> given;

    bool restart(qint64 fileOffset)
    {
        inputAt = fileOffset;
        state.next_in = input.data();
        state.avail_in = 0;
        return file.seek(fileOffset);
    }

    bool startOfFile()
    {
        isal_inflate_init(&state);
        state.crc_flag = ISAL_GZIP;
        out = 0;
        return restart(0);
    }

    // Moves the unread input to the front and reads more after it; false at
    // the end of the file.
    bool refill()
    {
        const qint64 used = state.next_in - input.data();
        std::memmove(input.data(), state.next_in, state.avail_in);
        inputAt += used;
        state.next_in = input.data();
        const qint64 got = file.read(reinterpret_cast<char *>(input.data()) + state.avail_in,
                                     kInputSize - state.avail_in);
        if (got <= 0)
            return false;
        state.avail_in += uint32_t(got);
        return true;
    }

    // Where the next point is due (never, for a reader given its points).
    qint64 nextPoint() const
    {
        if (given)
            return std::numeric_limits<qint64>::max();
        const std::vector<SeekPoint> &points = taken->points;
        // The start of the file is a point of its own.
        return (points.empty() ? 0 : points.back().out) + taken->distance;
    }

    void takePoint()
    {
        if (out < nextPoint())
            return;
        std::vector<SeekPoint> &points = taken->points;
        if (points.size() == kMaxPoints) {
            for (size_t i = 1; 2 * i < points.size(); ++i)
                points[i] = std::move(points[2 * i]);
            points.resize(points.size() / 2);
            taken->distance *= 2;
        }
        const size_t size = kStateHead + size_t(state.tmp_out_valid);
        QByteArray saved(reinterpret_cast<const char *>(&state), qsizetype(size));
        points.push_back({out, inputAt + (state.next_in - input.data()), std::move(saved)});
    }

    bool restore(const SeekPoint &point)
    {
        isal_inflate_init(&state);
        std::memcpy(static_cast<void *>(&state), point.state.constData(), size_t(point.state.size()));
        out = point.out;
        return restart(point.in);
    }

    // The nearest point at or before the offset, of those given or taken.
    const SeekPoint *pointBefore(qint64 offset) const
    {
        const SeekPoints *points = given ? given.get() : taken.get();
        const SeekPoint *best = nullptr;
        for (const SeekPoint &point : points->points) {
            if (point.out > offset)
                break;
            best = &point;
        }
        return best;
    }
};

GzipSource::GzipSource() : in_(std::make_unique<Inflater>()) {}

GzipSource::~GzipSource() = default;

bool GzipSource::open(const QString &path)
{
    in_->file.setFileName(path);
    return in_->file.open(QIODevice::ReadOnly) && in_->startOfFile();
}

qint64 GzipSource::read(char *to, qint64 room, qint64 &offset)
{
    inflate_state &s = in_->state;
    if (damaged())
        return -1;
    for (;;) {
        if (s.block_state == ISAL_BLOCK_FINISH) {
            // A member ended; whatever follows must be another.
            if (s.avail_in == 0 && !in_->refill())
                return 0;
            isal_inflate_reset(&s);
            s.crc_flag = ISAL_GZIP;
        }
        if (s.avail_in == 0 && !in_->refill())
            return fail(); // cut short
        const uint32_t inputBefore = s.avail_in;
        s.next_out = reinterpret_cast<uint8_t *>(to);
        // Stop where the next seek point is due.
        s.avail_out = uint32_t(std::min(room, std::max<qint64>(in_->nextPoint() - in_->out, 1)));
        room = s.avail_out;
        if (isal_inflate(&s) != ISAL_DECOMP_OK)
            return fail();
        const qint64 got = room - s.avail_out;
        if (got == 0 && s.avail_in == inputBefore && s.block_state != ISAL_BLOCK_FINISH)
            return fail(); // no way on
        // Cut short: told at once, as soon as the whole rest was inflated.
        if (s.avail_out > 0 && s.avail_in == 0 && s.block_state != ISAL_BLOCK_FINISH && in_->file.atEnd())
            return fail();
        in_->out += got;
        in_->takePoint();
        const qint64 drop = std::min(in_->skip, got);
        in_->skip -= drop;
        if (drop == got)
            continue;
        if (drop > 0)
            std::memmove(to, to + drop, size_t(got - drop));
        offset = in_->out - (got - drop);
        return got - drop;
    }
}

bool GzipSource::seek(qint64 offset)
{
    Inflater &in = *in_;
    const SeekPoint *point = in.pointBefore(offset);
    if (offset >= in.out && (!point || point->out <= in.out)) {
        in.skip = offset - in.out; // on from here
        return true;
    }
    if (!(point ? in.restore(*point) : in.startOfFile())) {
        fail(); // inflating cannot go on from there
        return false;
    }
    in.skip = offset - in.out;
    return true;
}

std::shared_ptr<const SeekPoints> GzipSource::seekPoints() const
{
    return in_->taken;
}

void GzipSource::useSeekPoints(std::shared_ptr<const SeekPoints> points)
{
    in_->given = std::move(points);
}

void GzipSource::setSeekPointDistance(qint64 distance)
{
    in_->taken->distance = std::max<qint64>(distance, 1);
}
