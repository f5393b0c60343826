#pragma once

#include "web_client/curl_library.h"

#include <memory>

namespace Velto {

struct CurlEasyDeleter {
    const CurlLibrary* curl{};
    void operator()(CURL* easy) const { curl->easyCleanup(easy); }
};
struct CurlMultiDeleter {
    const CurlLibrary* curl{};
    void operator()(CURLM* multi) const { curl->multiCleanup(multi); }
};
struct CurlListDeleter {
    const CurlLibrary* curl{};
    void operator()(curl_slist* list) const { curl->slistFreeAll(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Keeps an easy handle attached to a multi handle for one transfer.
class MultiAttachment {
public:
    MultiAttachment(const CurlLibrary& curl, CURLM* multi, CURL* easy)
        : m_curl(curl), m_multi(multi), m_easy(easy) {
        m_attached = curl.multiAddHandle(multi, easy) == CURLM_OK;
    }
    ~MultiAttachment() {
        if (m_attached)
            m_curl.multiRemoveHandle(m_multi, m_easy);
    }
    MultiAttachment(const MultiAttachment&) = delete;
    MultiAttachment& operator=(const MultiAttachment&) = delete;
    bool Attached() const { return m_attached; }

private:
    const CurlLibrary& m_curl;
    CURLM* m_multi;
    CURL* m_easy;
    bool m_attached{false};
};

} // namespace Velto
