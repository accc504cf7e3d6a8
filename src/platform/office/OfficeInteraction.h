#pragma once

#include <com/sun/star/task/XInteractionHandler.hpp>
#include <cppuhelper/implbase1.hxx>

#include <QString>

#include <mutex>

namespace office {

// Answers every question the office asks while loading with "abort", and remembers why it was asked: the office
// itself only hands back an empty result, and this is where the reason (password, damaged package, unknown
// format) shows.
class OfficeInteraction : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    enum class Reason { None, Password, Broken, NoFilter, ErrorCode, Other };

    void SAL_CALL handle(const css::uno::Reference<css::task::XInteractionRequest> &request) override;

    Reason reason() const;
    quint32 errorCode() const; // for Reason::ErrorCode

private:
    mutable std::mutex m_lock;
    Reason m_reason = Reason::None;
    quint32 m_errorCode = 0;
    QString m_type;
};

} // namespace office
