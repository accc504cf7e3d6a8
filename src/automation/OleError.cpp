#include "automation/OleError.h"

namespace automation {

EOleError::EOleError(std::uint32_t code, const QString &message)
    : std::runtime_error(message.toStdString()), m_code(code), m_message(message) {}

} // namespace automation
