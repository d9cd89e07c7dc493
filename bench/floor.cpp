#include "floor.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Columns {
    char delimiter = '\t';
    int position = 1, p = 2; // counted from 0
};

bool containsIgnoringCase(std::string_view field, std::string_view part)
{
    return std::search(field.begin(), field.end(), part.begin(), part.end(),
                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })
        != field.end();
}

// The position and p-value columns from the header's names.
bool findColumns(std::string_view header, Columns &c)
{
    const auto holds = [header](char c) { return header.find(c) != std::string_view::npos; };
    c.delimiter = holds('\t') ? '\t' : holds(' ') ? ' ' : ',';
    c.position = c.p = -1;
    int column = 0;
    for (size_t start = 0; start <= header.size(); ++column) {
        const size_t stop = std::min(header.find(c.delimiter, start), header.size());
        const std::string_view field = header.substr(start, stop - start);
        if (c.position < 0 && containsIgnoringCase(field, "pos"))
            c.position = column;
        if (c.p < 0 && (field == "P" || field == "p" || containsIgnoringCase(field, "pval")))
            c.p = column;
        start = stop + 1;
    }
    return c.position >= 0 && c.p >= 0;
}

struct Part {
    const char *begin, *end;
    std::vector<int> positions;
    std::vector<double> scores;
};

void readPart(Part &part, const Columns &c)
{
    const int last = std::max(c.position, c.p);
    for (const char *line = part.begin; line < part.end;) {
        const char *lf = static_cast<const char *>(std::memchr(line, '\n', size_t(part.end - line)));
        const char *stop = lf ? lf : part.end;
        std::string_view position, p;
        const char *field = line;
        for (int column = 0; column <= last && field <= stop; ++column) {
            const char *next = static_cast<const char *>(std::memchr(field, c.delimiter, size_t(stop - field)));
            const char *fieldEnd = next ? next : stop;
            if (column == c.position)
                position = std::string_view(field, size_t(fieldEnd - field));
            if (column == c.p)
                p = std::string_view(field, size_t(fieldEnd - field));
            field = fieldEnd + 1;
        }
        int x = 0;
        double value = 0;
        if (std::from_chars(p.data(), p.data() + p.size(), value).ec == std::errc() && value > 0
            && std::from_chars(position.data(), position.data() + position.size(), x).ec == std::errc()) {
            part.positions.push_back(x / 100);
            part.scores.push_back(-std::log10(value));
        }
        line = stop + 1;
    }
}

} // namespace

FloorResult readFloor(const char *path, int threads)
{
    FloorResult result;
    const int fd = ::open(path, O_RDONLY);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size == 0) {
        if (fd >= 0)
            ::close(fd);
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    const size_t size = size_t(info.st_size);
    void *mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED)
        return result;
    const char *data = static_cast<const char *>(mapped), *end = data + size;
    const char *headerEnd = static_cast<const char *>(std::memchr(data, '\n', size));
    Columns columns;
    if (data[0] == '\x1f' || data[0] == '\x28' || !headerEnd
        || !findColumns(std::string_view(data, size_t(headerEnd - data)), columns)) {
        munmap(mapped, size);
        return result;
    }
    // One part per thread, each ending at a line end.
    std::vector<Part> parts(static_cast<size_t>(threads));
    const char *from = headerEnd + 1;
    for (int i = 0; i < threads; ++i) {
        const char *to = i + 1 == threads ? end : from + (end - from) / (threads - i);
        while (to < end && to[-1] != '\n')
            ++to;
        parts[size_t(i)].begin = from;
        parts[size_t(i)].end = to;
        parts[size_t(i)].positions.reserve(size_t(to - from) / 16);
        parts[size_t(i)].scores.reserve(size_t(to - from) / 16);
        from = to;
    }
    std::vector<std::thread> running;
    for (size_t i = 1; i < parts.size(); ++i)
        running.emplace_back([&parts, &columns, i]() { readPart(parts[i], columns); });
    readPart(parts[0], columns);
    for (std::thread &thread : running)
        thread.join();
    for (const Part &part : parts)
        result.rows += int64_t(part.scores.size());
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    result.ok = true;
    munmap(mapped, size);
    return result;
}
