// ZIP downloads: a selection is prepared as a short-lived, single-use job,
// then streamed as a stored archive built on the fly.
#include "webapp/web_app.h"

#include "base/interrupt_retry.h"
#include "base/system_random.h"
#include "base/utf.h"
#include "server/http/client_group.h"
#include "server/http/content_disposition.h"
#include "webapp/download_policy.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/open_item.h"
#include "webapp/zip/zip_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kZipUrlPrefix = "/zip/";

// Reads up to `buffer.size()` bytes; 0 at the end of the file or on an error.
std::size_t ReadPiece(int fd, std::span<std::byte> buffer) {
    const ssize_t got = RetryOnInterrupt([&] { return ::read(fd, buffer.data(), buffer.size()); });
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

struct FolderIdentity {
    dev_t device{0};
    ino_t inode{0};
};

} // namespace

// What one archive shares across its items: the writer, the one read
// buffer, the folders on the way down (to stop at a link that loops back),
// and the records and small files not sent yet. Those are gathered into
// chunks of about kZipBatchBytes, so that a folder of many small files does
// not cost several sends per file; the data of larger files leaves straight
// from the file (sendfile on plain connections) after its CRC was taken over
// the read that fills the buffer.
struct WebApp::ZipBuild {
    ZipBuild(HttpResponse& out, bool fromFile)
        : response(out),
          writer([this](std::span<const std::byte> bytes) { return Gather(bytes); },
                 fromFile ? ZipWriter::FileOutput(
                                [this](int fd, std::uint64_t offset, std::uint64_t length) {
                                    return Flush() && response.WriteFileRange(fd, offset, length);
                                })
                          : ZipWriter::FileOutput()) {
        pending.reserve(kZipBatchBytes + kZipReadBytes);
    }
    ZipBuild(const ZipBuild&) = delete;
    ZipBuild& operator=(const ZipBuild&) = delete;

    bool Gather(std::span<const std::byte> bytes) {
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        return pending.size() < kZipBatchBytes || Flush();
    }
    bool Flush() {
        if (pending.empty())
            return true;
        const bool sent = response.Write(pending);
        pending.clear();
        return sent;
    }

    HttpResponse& response;
    std::vector<std::byte> pending;
    ZipWriter writer;
    std::unique_ptr<std::byte[]> buffer{std::make_unique_for_overwrite<std::byte[]>(kZipReadBytes)};
    std::vector<FolderIdentity> openFolders;
};

void WebApp::PrepareZip(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    ShareTarget target;
    if (!OpenShare(context, Utf8ToUtf16(body.Get("share").AsString()),
                   Utf8ToUtf16(body.Get("path").AsString()), AccessFlags::Read, target))
        return;

    ZipJob job;
    job.shareId = target.share->id;
    job.linkId = target.linkId;
    job.folder = target.components;
    for (const JsonValue& element : body.Get("names").AsArray()) {
        std::u16string name;
        if (!Utf8ToUtf16Strict(element.AsString(), name) || !IsValidItemName(name))
            return SendError(context.response, 400, "badName");
        job.names.push_back(std::move(name));
    }
    // Beside "names", "items" takes relative paths of items below the folder
    // (search results come from many folders); each keeps its folders in the
    // archive.
    for (const JsonValue& element : body.Get("items").AsArray()) {
        std::u16string path;
        if (!Utf8ToUtf16Strict(element.AsString(), path))
            return SendError(context.response, 400, "badName");
        const std::optional<PathComponents> below = ParseSharePath(path);
        if (!below || below->empty() ||
            target.components.size() + below->size() > kMaxPathComponents)
            return SendError(context.response, 400, "badName");
        job.names.push_back(JoinComponents(*below));
    }
    if (job.names.empty() || job.names.size() > kMaxZipNames)
        return SendError(context.response, 400, "badRequest");
    if (context.session)
        job.owner = context.session->id;
    job.client = ClientGroupOf(context.request.peer);
    job.expires = context.now + kZipJobLifetimeMs;
    const std::string token = RandomHex(kZipTokenBytes);
    if (token.empty())
        return SendError(context.response, 500, "failed");

    {
        const std::lock_guard lock(m_snapshotMutex);
        std::erase_if(m_zipJobs,
                      [&](const auto& item) { return item.second.expires < context.now; });
        if (m_zipJobs.size() > kMaxZipJobs)
            return SendError(context.response, 503, "busy");
        std::size_t sameClient = 0;
        std::size_t sameSession = 0;
        for (const auto& [pendingToken, pending] : m_zipJobs) {
            sameClient += pending.client == job.client ? 1 : 0;
            sameSession += !job.owner.empty() && pending.owner == job.owner ? 1 : 0;
        }
        if (sameClient >= kMaxZipJobsPerClient || sameSession >= kMaxZipJobsPerSession)
            return SendError(context.response, 503, "busy");
        m_zipJobs.insert_or_assign(token, std::move(job));
    }
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("url", JsonValue(std::string(kZipUrlPrefix) + token));
    SendJson(context.response, 200, reply);
}

void WebApp::SendZip(Context& context, std::string_view token) {
    std::optional<ZipJob> job;
    {
        const std::lock_guard lock(m_snapshotMutex);
        const auto found = m_zipJobs.find(token);
        if (found != m_zipJobs.end()) {
            job = std::move(found->second);
            m_zipJobs.erase(found);
        }
    }
    if (!job)
        return SendError(context.response, 404, "notFound");
    const std::string_view session =
        context.session ? std::string_view(context.session->id) : std::string_view();
    const Share* share = context.config->FindShareById(job->shareId);
    if (job->expires < context.now || job->owner != session || share == nullptr)
        return SendError(context.response, 404, "notFound");

    ShareTarget target;
    const std::u16string shareName =
        job->linkId.empty() ? share->name : u":" + Utf8ToUtf16(job->linkId);
    if (!OpenShare(context, shareName, JoinComponents(job->folder), AccessFlags::Read, target))
        return;

    std::u16string baseName;
    if (job->names.size() == 1)
        baseName = ParseSharePath(job->names.front()).value_or(PathComponents{u"_"}).back();
    else if (!target.components.empty())
        baseName = target.components.back();
    else
        baseName = target.title;

    HttpResponse& response = context.response;
    response.AddHeader("Content-Type", "application/zip");
    response.AddHeader("Content-Disposition", ContentDisposition("attachment", baseName + u".zip"));
    response.AddHeader("Content-Security-Policy", std::string(kDownloadPolicy));
    if (!response.BeginChunked(200))
        return;

    // Over TLS the bytes are encrypted in user space anyway: the ones
    // already read go out as they are instead of being read again.
    ZipBuild build(response, !context.request.secure);
    bool added = true;
    PathComponents components = target.components;
    for (const std::u16string& name : job->names) {
        const PathComponents below = ParseSharePath(name).value_or(PathComponents{});
        components.insert(components.end(), below.begin(), below.end());
        added = AddPathToZip(context, build, target.root, components, Utf16ToUtf8(name), 0);
        components.resize(target.components.size());
        if (!added)
            break;
    }
    // A failed archive stays unfinished, and so does the chunked reply: the
    // browser reports the download as failed instead of keeping a truncated
    // file. Only an archive that fully left counts as a success.
    const bool delivered = added && build.writer.Finish() && build.Flush() && response.Finish();

    std::u16string detail = target.DisplayPath();
    if (job->names.size() == 1)
        detail.append(u"/").append(job->names.front());
    LogAccess(context, "zip", detail, delivered ? 200 : 500, build.writer.Total());
}

bool WebApp::AddPathToZip(Context& context, ZipBuild& build, const ShareRoot& root,
                          PathComponents& components, const std::string& entryName,
                          std::uint32_t depth) {
    if (depth > kMaxZipDepth)
        return true;
    const bool showHidden = context.config->showHidden;
    UniqueFd handle;
    ItemStat stat;
    if (OpenItem(root, components, ItemAccess::Read, showHidden, handle, stat) != OpenResult::Ok)
        return true;

    ZipWriter& writer = build.writer;
    if (!stat.IsDirectory()) {
        if (!writer.BeginFile(entryName, stat.lastWriteTime, stat.size))
            return false;
        ::posix_fadvise(handle.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        const std::span<std::byte> buffer(build.buffer.get(), kZipReadBytes);
        // At most the announced size: a file that grows meanwhile is cut
        // there, one that shrinks ends early; the descriptor records what
        // was actually read. Small files join the gathered chunk; the rest
        // is sent from the file piece by piece, each piece once read for
        // its CRC.
        const bool gather = stat.size < kZipGatherBelowBytes;
        std::uint64_t offset = 0;
        while (offset < stat.size) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(stat.size - offset, kZipReadBytes));
            const std::size_t got = ReadPiece(handle.Get(), buffer.first(want));
            if (got == 0)
                break;
            const std::span<const std::byte> piece = buffer.first(got);
            if (!(gather ? writer.Write(piece) : writer.WriteFromFile(piece, handle.Get(), offset)))
                return false;
            offset += got;
        }
        return writer.EndFile();
    }

    // A link inside the share may lead back to a folder already being
    // packed; following it would repeat that folder level after level, so
    // such a link is left out like one that leads outside.
    struct stat identity {};
    if (::fstat(handle.Get(), &identity) != 0)
        return true;
    for (const FolderIdentity& open : build.openFolders) {
        if (open.device == identity.st_dev && open.inode == identity.st_ino)
            return true;
    }
    if (!writer.AddDirectory(entryName, stat.lastWriteTime))
        return false;
    std::vector<DirEntry> entries;
    const bool listed = EnumerateDirectory(handle.Get(), entries);
    handle.Reset();
    if (!listed)
        return true;

    build.openFolders.push_back({identity.st_dev, identity.st_ino});
    bool result = true;
    for (const DirEntry& entry : entries) {
        if (IsUploadTempName(entry.name))
            continue;
        if (!showHidden &&
            (entry.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
            continue;
        components.push_back(entry.name);
        const bool added = AddPathToZip(context, build, root, components,
                                        entryName + "/" + Utf16ToUtf8(entry.name), depth + 1);
        components.pop_back();
        if (!added) {
            result = false;
            break;
        }
    }
    build.openFolders.pop_back();
    return result;
}

} // namespace Velto::Corvane
