#pragma once

#include "service/ServiceUpload.h"

#include <memory>

struct MHD_PostProcessor;
struct MHD_Connection;

// One request to /convert while it lasts: its upload and the multipart parser feeding it. Made on the request's
// first call, ended with it however it ends (answered, refused, the client gone): the upload's folder goes then.
class ServiceRequest {
public:
    ServiceRequest(MHD_Connection *connection, qint64 maxBytes);
    ~ServiceRequest();
    // A piece of the body; false once the request cannot go on.
    bool Feed(const char *data, std::size_t size);
    ServiceUpload &Upload() { return *m_upload; }
    // The upload, for a callback that outlives the request: its folder stays while either holds it.
    std::shared_ptr<ServiceUpload> SharedUpload() const { return m_upload; }
    bool parsed = true;    // the parser took every piece so far
    bool answered = false; // a refusal went out before the body's end: the rest is passed over

private:
    std::shared_ptr<ServiceUpload> m_upload;
    MHD_PostProcessor *m_parser = nullptr;
};
