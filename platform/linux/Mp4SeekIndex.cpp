#include "platform/linux/Mp4SeekIndex.h"

#include "runtime/WriteAll.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>
#include <vector>

namespace mirl::mp4index {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t u32(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::uint64_t u64(Bytes b, std::size_t at) {
    return static_cast<std::uint64_t>(u32(b, at)) << 32 | u32(b, at + 4);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v >> 32));
    put32(out, static_cast<std::uint32_t>(v));
}

bool isType(Bytes b, std::size_t at, const char* type) {
    return std::memcmp(b.data() + at + 4, type, 4) == 0;
}

struct Box {
    std::size_t body = 0; // offset of the body within the span
    std::size_t end = 0;  // offset just past the box
};

// The box at `at` within `b` (32-bit sizes only: nothing inside a movie fragment is larger).
std::optional<Box> childAt(Bytes b, std::size_t at) {
    if (at + 8 > b.size())
        return std::nullopt;
    const std::uint32_t size = u32(b, at);
    if (size < 8 || size > b.size() - at)
        return std::nullopt;
    return Box{at + 8, at + size};
}

struct Fragment {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    std::uint32_t track = 0;
    std::uint64_t time = 0;     // decode time of its first sample (track time scale)
    std::uint64_t duration = 0; // sum of its sample durations
};

// Reads the track, start time and duration of a movie fragment box's body. One track fragment
// with a decode time is expected, as the recorder writes them.
std::optional<std::string> parseMoof(Bytes moof, Fragment& fragment) {
    bool seenTraf = false;
    for (std::size_t at = 0; at < moof.size();) {
        const auto box = childAt(moof, at);
        if (!box)
            return "a broken box in a movie fragment";
        if (isType(moof, at, "traf")) {
            if (seenTraf)
                return "a movie fragment with several tracks";
            seenTraf = true;
            const Bytes traf = moof.subspan(box->body, box->end - box->body);
            std::optional<std::uint32_t> defaultDuration;
            bool hasTime = false;
            bool hasTfhd = false;
            for (std::size_t t = 0; t < traf.size();) {
                const auto child = childAt(traf, t);
                if (!child)
                    return "a broken box in a track fragment";
                const Bytes body = traf.subspan(child->body, child->end - child->body);
                if (isType(traf, t, "tfhd")) {
                    if (body.size() < 8)
                        return "a short track fragment header";
                    const std::uint32_t flags = u32(body, 0) & 0xffffff;
                    fragment.track = u32(body, 4);
                    std::size_t field = 8 + (flags & 0x1 ? 8 : 0) + (flags & 0x2 ? 4 : 0);
                    if (flags & 0x8) {
                        if (body.size() < field + 4)
                            return "a short track fragment header";
                        defaultDuration = u32(body, field);
                    }
                    hasTfhd = true;
                } else if (isType(traf, t, "tfdt")) {
                    const bool wide = body.size() >= 12 && body[0] == 1;
                    if (body.size() < (wide ? 12u : 8u))
                        return "a short decode time box";
                    fragment.time = wide ? u64(body, 4) : u32(body, 4);
                    hasTime = true;
                } else if (isType(traf, t, "trun")) {
                    if (body.size() < 8)
                        return "a short track run";
                    const std::uint32_t flags = u32(body, 0) & 0xffffff;
                    const std::uint32_t count = u32(body, 4);
                    std::size_t field = 8 + (flags & 0x1 ? 4 : 0) + (flags & 0x4 ? 4 : 0);
                    const std::size_t perSample = (flags & 0x100 ? 4 : 0) + (flags & 0x200 ? 4 : 0) +
                                                  (flags & 0x400 ? 4 : 0) + (flags & 0x800 ? 4 : 0);
                    if (body.size() < field + static_cast<std::size_t>(count) * perSample)
                        return "a short track run";
                    if (flags & 0x100) {
                        for (std::uint32_t i = 0; i < count; ++i, field += perSample)
                            fragment.duration += u32(body, field);
                    } else if (defaultDuration) {
                        fragment.duration += static_cast<std::uint64_t>(count) * *defaultDuration;
                    } else {
                        return "a track run without sample durations";
                    }
                }
                t = child->end;
            }
            if (!hasTfhd || !hasTime)
                return "a track fragment without its header or decode time";
        }
        at = box->end;
    }
    if (!seenTraf)
        return "a movie fragment without a track";
    return std::nullopt;
}

class File {
public:
    // A recording is only ever a regular file: never written through a link or into a FIFO.
    explicit File(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) {
        struct stat info {};
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~File() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    std::int64_t size() const {
        struct stat info {};
        return ::fstat(fd_, &info) == 0 ? info.st_size : -1;
    }
    // Up to `length` bytes at `offset`; fewer at the end of the file.
    std::vector<std::uint8_t> read(std::int64_t offset, std::size_t length) const {
        std::vector<std::uint8_t> out(length);
        std::size_t got = 0;
        while (got < length) {
            const ssize_t n = ::pread(fd_, out.data() + got, length - got, offset + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
        return out;
    }
    bool write(std::int64_t offset, const std::vector<std::uint8_t>& bytes) const {
        return writeAllAt(fd_, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                          offset);
    }

private:
    int fd_;
};

// The fragments from `from` to the fragment random access box (or the end of the file), each
// sized up to the next fragment.
std::optional<std::string> scanFragments(const File& file, std::int64_t from,
                                         std::vector<Fragment>& fragments) {
    const std::int64_t fileSize = file.size();
    constexpr std::size_t kPeek = 1024; // a recorder's fragment header is some 300 bytes
    std::int64_t at = from;
    while (at < fileSize) {
        std::vector<std::uint8_t> head = file.read(at, kPeek);
        if (head.size() < 8)
            return "a truncated box at the end";
        std::uint64_t size = u32(head, 0);
        if (size == 1 && head.size() >= 16)
            size = u64(head, 8);
        else if (size == 0)
            size = static_cast<std::uint64_t>(fileSize - at);
        if (size < 8 || size > static_cast<std::uint64_t>(fileSize - at))
            return "a truncated box at the end";
        const auto boxSize = static_cast<std::int64_t>(size);
        if (isType(head, 0, "mfra")) {
            if (at + boxSize != fileSize)
                return "data after the fragment random access box";
            break;
        }
        if (isType(head, 0, "moof")) {
            if (size > 1 << 20)
                return "an oversized movie fragment box";
            if (head.size() < size)
                head = file.read(at, static_cast<std::size_t>(size));
            Fragment fragment;
            fragment.offset = at;
            if (auto problem =
                    parseMoof(Bytes(head).subspan(8, static_cast<std::size_t>(size) - 8), fragment))
                return problem;
            if (!fragments.empty()) {
                const Fragment& last = fragments.back();
                if (last.time + last.duration != fragment.time)
                    return "fragments that do not follow each other in time";
                if (last.track != fragment.track)
                    return "fragments of several tracks";
            }
            fragments.push_back(fragment);
        } else if (fragments.empty()) {
            return "no movie fragment after the room for the index";
        }
        fragments.back().size = at + boxSize - fragments.back().offset; // its data and any padding
        at += boxSize;
    }
    if (fragments.empty())
        return "no movie fragment after the room for the index";
    return std::nullopt;
}

std::vector<std::uint8_t> segmentIndex(const std::vector<Fragment>& fragments, std::uint32_t timescale) {
    std::vector<std::uint8_t> box;
    box.reserve(40 + 12 * fragments.size());
    put32(box, static_cast<std::uint32_t>(40 + 12 * fragments.size()));
    box.insert(box.end(), {'s', 'i', 'd', 'x'});
    put32(box, 1u << 24); // version 1: 64-bit times and offsets
    put32(box, fragments.front().track);
    put32(box, timescale);
    put64(box, fragments.front().time); // earliest presentation time: audio has no reordering
    put64(box, 0);                      // the first fragment follows the index directly
    put32(box, static_cast<std::uint32_t>(fragments.size())); // reserved 16 bits, then the count
    for (const Fragment& f : fragments) {
        put32(box, static_cast<std::uint32_t>(f.size)); // reference type 0: media
        put32(box, static_cast<std::uint32_t>(f.duration));
        put32(box, 0x90000000u); // starts with a stream access point of type 1: every AAC frame does
    }
    return box;
}

} // namespace

std::optional<std::string> writeSeekIndex(const std::filesystem::path& path, std::int64_t reserveOffset,
                                          std::uint32_t timescale) {
    const File file(path);
    if (!file.isOpen())
        return std::string("cannot open the file: ") + std::strerror(errno);
    const std::vector<std::uint8_t> room = file.read(reserveOffset, 8);
    if (room.size() < 8 || u32(room, 0) != kReserveBytes || !isType(room, 0, "free"))
        return "no room for the index";
    std::vector<Fragment> fragments;
    if (auto problem = scanFragments(file, reserveOffset + kReserveBytes, fragments))
        return problem;
    if (static_cast<std::int64_t>(fragments.size()) > kMaxReferences)
        return "more fragments than one index holds";
    for (const Fragment& f : fragments) {
        if (f.size >= std::int64_t{1} << 31 || f.duration > 0xffffffffu)
            return "a fragment too large for the index";
    }
    if (timescale == 0)
        return "no time scale";

    // The index goes at the end of the room, so that it directly precedes the fragments; the free
    // box then shrinks to what is left, which makes the index visible in one small write.
    const std::vector<std::uint8_t> index = segmentIndex(fragments, timescale);
    const auto indexSize = static_cast<std::int64_t>(index.size());
    if (!file.write(reserveOffset + kReserveBytes - indexSize, index))
        return std::string("cannot write the index: ") + std::strerror(errno);
    std::vector<std::uint8_t> freeSize;
    put32(freeSize, static_cast<std::uint32_t>(kReserveBytes - indexSize));
    if (!file.write(reserveOffset, freeSize))
        return std::string("cannot write the index: ") + std::strerror(errno);
    return std::nullopt;
}

} // namespace mirl::mp4index
