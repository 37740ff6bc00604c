// Reads one file with ReadCertificateFile and prints its speed and the process's peak memory.
#include "exchange/CertificateFile.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

class FileSource final : public exchange::ByteSource {
  public:
    explicit FileSource(std::FILE* file) : m_file(file) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        got = std::fread(buffer, 1, capacity, m_file);
        return got > 0 || !std::ferror(m_file);
    }

  private:
    std::FILE* m_file;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    FileSource source(file);
    const auto start = std::chrono::steady_clock::now();
    const auto content = exchange::ReadCertificateFile(source);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const long bytes = std::ftell(file);
    std::fclose(file);
    if (!content) {
        std::fprintf(stderr, "%s: read error\n", argv[1]);
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s: %.0f MB in %.2f s, %.0f MB/s, peak %.1f MiB, %llu recognised lines\n", argv[1],
                static_cast<double>(bytes) / 1e6, seconds.count(),
                static_cast<double>(bytes) / 1e6 / seconds.count(),
                static_cast<double>(usage.ru_maxrss) / 1024.0,
                static_cast<unsigned long long>(content->recognisedLines));
    return 0;
}
