#include "platform/office/OfficeInteraction.h"

#include "platform/office/OfficeStrings.h"

#include <com/sun/star/document/BrokenPackageRequest.hpp>
#include <com/sun/star/document/FilterOptionsRequest.hpp>
#include <com/sun/star/document/NoSuchFilterRequest.hpp>
#include <com/sun/star/task/ErrorCodeRequest.hpp>
#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>

using namespace css;

namespace office {

void OfficeInteraction::handle(const uno::Reference<task::XInteractionRequest> &request) {
    if (!request.is())
        return;
    const uno::Any what = request->getRequest();
    {
        std::lock_guard<std::mutex> g(m_lock);
        // The first request tells the cause; later ones follow from the abort.
        if (m_reason == Reason::None) {
            task::PasswordRequest password;
            document::BrokenPackageRequest broken;
            document::NoSuchFilterRequest noFilter;
            document::FilterOptionsRequest filterOptions;
            task::ErrorCodeRequest errorCode;
            m_type = fromOU(what.getValueTypeName());
            if (what >>= password) {
                m_reason = Reason::Password;
            } else if (what >>= broken) {
                m_reason = Reason::Broken;
            } else if ((what >>= noFilter) || (what >>= filterOptions)) {
                m_reason = Reason::NoFilter;
            } else if (what >>= errorCode) {
                m_reason = Reason::ErrorCode;
                m_errorCode = static_cast<quint32>(errorCode.ErrCode);
            } else {
                m_reason = Reason::Other;
            }
        }
    }
    const auto continuations = request->getContinuations();
    for (const auto &c : continuations) {
        uno::Reference<task::XInteractionAbort> abort(c, uno::UNO_QUERY);
        if (abort.is()) {
            abort->select();
            return;
        }
    }
}

OfficeInteraction::Reason OfficeInteraction::reason() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_reason;
}

quint32 OfficeInteraction::errorCode() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_errorCode;
}

} // namespace office
