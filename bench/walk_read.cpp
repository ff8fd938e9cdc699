// The floor a folder report stands on: list every file below a folder and
// read each one whole, nothing else (no digest, no output). The files are
// listed by one thread while the readers (as many as varnel-report's workers,
// one per core unless given) take them in order, as a report run does.
//
//     walk_read FOLDER [THREADS]
//
// Prints the files and bytes read. Each file costs open, one read per
// 256 KiB and close.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: walk_read FOLDER [THREADS]\n");
        return 2;
    }
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2]))
                                      : std::max(1u, std::thread::hardware_concurrency());
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    bool ended = false;
    std::atomic<std::uint64_t> files{0};
    std::atomic<std::uint64_t> bytes{0};

    auto reader = [&] {
        std::vector<char> buffer(256u << 10);
        for (;;) {
            std::string path;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ended || !queue.empty(); });
                if (queue.empty()) {
                    return;
                }
                path = std::move(queue.front());
                queue.pop_front();
            }
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::uint64_t got = 0;
            for (;;) {
                const ssize_t n = ::read(fd, buffer.data(), buffer.size());
                if (n <= 0) {
                    break;
                }
                got += static_cast<std::uint64_t>(n);
                if (static_cast<std::size_t>(n) < buffer.size()) {
                    break; // short read of a regular file: its end
                }
            }
            ::close(fd);
            files.fetch_add(1, std::memory_order_relaxed);
            bytes.fetch_add(got, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> readers;
    for (unsigned i = 0; i < threads; ++i) {
        readers.emplace_back(reader);
    }
    std::vector<std::string> batch;
    const auto hand = [&] {
        {
            std::lock_guard lock(mutex);
            for (std::string& path : batch) {
                queue.push_back(std::move(path));
            }
        }
        batch.clear();
        changed.notify_all();
    };
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(argv[1], error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error)) {
            batch.push_back(it->path().string());
            if (batch.size() == 64) {
                hand();
            }
        }
    }
    hand();
    {
        std::lock_guard lock(mutex);
        ended = true;
    }
    changed.notify_all();
    for (std::thread& t : readers) {
        t.join();
    }
    std::printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(files.load()),
                static_cast<unsigned long long>(bytes.load()));
    return 0;
}
