#pragma once

#include <rtl/ustring.hxx>

#include <QString>

namespace office {

using rtl::OUString;

inline OUString toOU(const QString &s) {
    return OUString(reinterpret_cast<const sal_Unicode *>(s.utf16()), static_cast<sal_Int32>(s.size()));
}

inline QString fromOU(const OUString &s) {
    return QString(reinterpret_cast<const QChar *>(s.getStr()), s.getLength());
}

} // namespace office
