#include "fuzz/harnesses/Harnesses.h"
#include "journal/annotations/AnnotationStore.h"
#include "runtime/VirtualScheduler.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace mirl::fuzz {

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Folder {
    Folder() {
        char pattern[] = "/tmp/mirl-fuzz-XXXXXX";
        root = fs::path(::mkdtemp(pattern)) / "Mirl";
        fs::create_directories(root / "sessions");
        std::ofstream(root / "sessions" / "session-2026-12-05-2200.jsonl") << "{}\n";
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(root.parent_path(), ec);
    }
    fs::path root;
};

} // namespace

void annotations(Input input) {
    static Folder folder;
    const fs::path file = folder.root / "annotations.jsonl";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    }
    VirtualScheduler clock;
    AnnotationStore store(clock, folder.root);
    const auto before = store.existingAnnotations.get();
    for (const auto& [id, record] : before) {
        FUZZ_CHECK(record.is_object());
        (void)store.annotatedType(id);
    }
    for (SessionFilter f : kSessionFilters) {
        store.filter.set(f);
        for (SessionType t : kSessionTypes) {
            store.typeFilter.set(t);
            (void)store.filteredSessions();
        }
    }

    // A save appends one record and keeps every byte that was there.
    const std::string old = readAll(file);
    const std::string id = before.empty() ? std::string("2026-12-05-2200") : before.begin()->first;
    FUZZ_CHECK(store.saveAnnotation(id, SessionType::night, "00:10-01:20", 4, "fuzz \xc3\xa9"));
    const std::string now = readAll(file);
    FUZZ_CHECK(now.size() > old.size() && now.compare(0, old.size(), old) == 0);
    FUZZ_CHECK(now.back() == '\n');
    // Every session that had an annotation still has one, and the saved one wins.
    const auto after = store.existingAnnotations.get();
    for (const auto& [other, record] : before)
        FUZZ_CHECK(after.count(other) == 1);
    FUZZ_CHECK(after.count(id) == 1);
    FUZZ_CHECK(store.annotatedType(id) == SessionType::night);
    FUZZ_CHECK(after.at(id).value("sleep_intervals", "") == "00:10-01:20");
}

} // namespace mirl::fuzz
