#include "service/ServiceRequest.h"

#include <microhttpd.h>

namespace {
// libmicrohttpd's multipart parser hands over each field's pieces; a file's go to disk as they come.
MHD_Result field(void *cls, MHD_ValueKind, const char *key, const char *filename, const char *, const char *,
                 const char *data, uint64_t offset, size_t size) {
    return static_cast<ServiceUpload *>(cls)->Field(key, filename, data, offset, size) ? MHD_YES : MHD_NO;
}
constexpr std::size_t kParserBuffer = 64 * 1024;
} // namespace

ServiceRequest::ServiceRequest(MHD_Connection *connection, qint64 maxBytes)
    : m_upload(std::make_shared<ServiceUpload>(maxBytes)) {
    m_parser = MHD_create_post_processor(connection, kParserBuffer, field, m_upload.get());
    parsed = m_parser != nullptr;
    if (!m_parser)
        m_upload->Error = QStringLiteral("the body is not multipart/form-data");
}

ServiceRequest::~ServiceRequest() {
    if (m_parser)
        MHD_destroy_post_processor(m_parser);
}

bool ServiceRequest::Feed(const char *data, std::size_t size) {
    if (!m_upload->Received(size))
        return false;
    if (parsed && m_parser)
        parsed = MHD_post_process(m_parser, data, size) == MHD_YES;
    return parsed;
}
