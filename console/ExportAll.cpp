#include "Shared.h"

#include "exchange/ExclusiveFile.h"
#include "exchange/FileNames.h"
#include "framework/Text.h"
#include "store/CertificateStore.h"

#include <atomic>
#include <memory>
#include <set>
#include <thread>

namespace console {

namespace {

// The `attempt`th other name (2, 3...) for the export's file `name`: "~2", "~3"... before its
// ".crt", its start cut where Windows' limit on a name needs it. Still a valid Windows name: it
// ends in ".crt", and no device name holds a "~".
std::wstring AlternativeName(const std::wstring& name, unsigned attempt) {
    const std::wstring end = L"~" + std::to_wstring(attempt) + L".crt";
    std::wstring start = name.substr(0, name.size() - 4);
    if (start.size() + end.size() > exchange::kMaxFileNameChars) {
        start.resize(exchange::kMaxFileNameChars - end.size());
        if (!start.empty() && IS_HIGH_SURROGATE(start.back())) {
            start.pop_back();
        }
    }
    return start + end;
}

} // namespace

// Every certificate of the store into a file of its own in the folder, named after its user ID
// (exchange/FileNames.h), so that "import FOLDER\*.crt" restores the store. Every file is made
// new (CREATE_NEW): an existing file is never opened under any of its names, also not under its
// 8.3 short name, which a certificate's file name can equal. Such a certificate is written under
// another name. A file whose long name is one of the export's is replaced only with --yes, and
// then as a whole or not at all; without --yes one stops the export before anything is written.
int ExportAll(const Invocation& invocation, ConsoleIo& io) {
    if (invocation.operands.size() != 1) {
        return UsageError(io, L"Too many arguments.", "export");
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    store::BulkSession session;
    std::vector<store::ListedUserId> listed = store::ListCertificates(io);
    if (io.Reported()) {
        return kFailed;
    }
    bool complete = true;
    std::vector<std::string> userIds;
    std::vector<std::wstring> wideIds;
    for (const store::ListedUserId& certificate : listed) {
        if (certificate.exact) {
            userIds.push_back(certificate.userId);
            wideIds.push_back(certificate.name);
            continue;
        }
        io.Error(fw::NotInCodePageText(L"The user ID \"" + certificate.Shown() + L"\"") +
                 L" Its certificate was not exported.");
        complete = false;
    }
    std::vector<std::wstring> names = exchange::CertificateFileNames(wideIds, FoldForFileNames);
    const std::wstring shownFolder = AbsoluteIfDriveRelative(invocation.operands[0]);
    std::wstring folder = shownFolder;
    if (!MakeFolder(folder, io)) {
        return kFailed;
    }
    if (folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    // The folder's long names, read once: a lookup of each name would read the folder again
    // under Wine.
    std::set<std::wstring> present;
    for (const std::wstring& path : MatchingFiles(folder + L"*")) {
        present.insert(Capitals(path.substr(folder.size())));
    }
    const bool replace = (invocation.options & kYes) != 0;
    if (!replace) {
        std::wstring existing;
        std::size_t count = 0;
        for (const std::wstring& name : names) {
            if (present.count(Capitals(name)) != 0 && ++count <= 10) {
                existing += (count == 1 ? L"" : L", ") + name;
            }
        }
        if (count != 0) {
            io.Error(QuotedPath(shownFolder) + L" already holds " + std::to_wstring(count) +
                     (count == 1 ? L" file" : L" files") + L" of this export: " + existing +
                     (count > 10 ? L"..." : L"") + L". Nothing was written. --yes replaces them.");
            return kFailed;
        }
    }
    // An other name is none of the export's own names nor a long name in the folder.
    std::set<std::wstring> taken = present;
    for (const std::wstring& name : names) {
        taken.insert(Capitals(name));
    }
    // Written in batches, each file flushed only once the whole batch is written: the file
    // system then commits a batch in one go, where flushing each file alone took most of the time.
    constexpr std::size_t kBatch = 256;
    constexpr int kFlushThreads = 8;
    constexpr unsigned kMaxAttempts = 100;
    std::size_t written = 0;
    auto stop = [&](const std::wstring& path, const char* what,
                    const exchange::ExclusiveFile& file) {
        io.Error(L"The certificate was not exported: " + QuotedPath(path) + L" " +
                 fw::FromAnsi(what) + L".\n" + fw::FromAnsi(file.Error()));
        io.Error(L"Exported " + std::to_wstring(written) + L" of " +
                 std::to_wstring(listed.size()) + L" certificates to " + QuotedPath(shownFolder) +
                 L" before it.");
        return kFailed;
    };
    using Mode = exchange::ExclusiveFile::Mode;
    for (std::size_t first = 0; first < userIds.size(); first += kBatch) {
        std::vector<std::pair<std::unique_ptr<exchange::ExclusiveFile>, std::wstring>> batch;
        for (std::size_t i = first; i < userIds.size() && i < first + kBatch; ++i) {
            keys::KeyBytes userKey;
            keys::KeyBytes cookieKey;
            exchange::ExportResult readable =
                exchange::ReadExportableKeys(io, userIds[i], userKey, cookieKey);
            if (readable.status != exchange::ExportResult::Status::Exported) {
                io.Error(NotExportedText(userIds[i], readable) + L" No file was written for it.");
                complete = false;
                continue;
            }
            std::wstring name = names[i];
            auto file = std::make_unique<exchange::ExclusiveFile>(
                folder + name, replace && present.count(Capitals(name)) != 0 ? Mode::CreateProtected
                                                                             : Mode::CreateNew);
            for (unsigned attempt = 2; !file->IsOpen() && file->Exists() && attempt <= kMaxAttempts;
                 ++attempt) {
                name = AlternativeName(names[i], attempt);
                if (taken.count(Capitals(name)) == 0) {
                    file =
                        std::make_unique<exchange::ExclusiveFile>(folder + name, Mode::CreateNew);
                }
            }
            if (!file->IsOpen()) {
                return stop(folder + name, "could not be created", *file);
            }
            if (name != names[i]) {
                io.Error(QuotedPath(names[i]) + L" is a name of another file in " +
                         QuotedPath(shownFolder) + L" (its short name, say): the certificate of " +
                         QuotedId(userIds[i]) + L" was written to " + QuotedPath(name) + L".");
            }
            std::wstring path = folder + name;
            if (!exchange::WriteCertificateHead(*file, userIds[i], userKey) ||
                !exchange::WriteCookieKeyLine(*file, cookieKey)) {
                return stop(path, "could not be written", *file);
            }
            batch.emplace_back(std::move(file), std::move(path));
        }
        // Flushed by a few threads at once, so that the file system can commit them together.
        std::vector<char> flushed(batch.size(), 0);
        std::atomic<std::size_t> next{0};
        auto flush = [&] {
            for (std::size_t j = next++; j < batch.size(); j = next++) {
                flushed[j] = batch[j].first->Flush() && batch[j].first->Close();
            }
        };
        std::vector<std::thread> flushers;
        for (int t = 0; t < kFlushThreads; ++t) {
            flushers.emplace_back(flush);
        }
        for (std::thread& flusher : flushers) {
            flusher.join();
        }
        for (std::size_t j = 0; j < batch.size(); ++j) {
            if (!flushed[j]) {
                return stop(batch[j].second, "could not be written", *batch[j].first);
            }
            ++written;
        }
    }
    // The files written in full: a certificate without one is said above.
    io.Out(L"Exported " + std::to_wstring(written) + L" certificates to " +
           QuotedPath(shownFolder) + L".\r\n");
    return complete ? kSucceeded : kFailed;
}

} // namespace console
