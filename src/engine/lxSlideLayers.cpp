#include "engine/lxSlideLayers.h"

#include "engine/lxEmfFile.h"
#include "engine/lxSvgFile.h"

QString TlxSlideLayers::Check(Drawing drawing, const QByteArray &data, const QString &what) {
    // An empty file is what the office leaves when it could not write at all: never "nothing to draw".
    if (data.isEmpty())
        return QStringLiteral("the office wrote nothing for %1").arg(what);
    const QString why = drawing == Drawing::Svg ? TlxSvgFile::Check(data) : TlxEmfFile::Check(data);
    if (why.isEmpty())
        return QString();
    return QStringLiteral("the office wrote %1 only in part (%2)").arg(what, why);
}

QString TlxSlideLayers::Add(const QByteArray &data, const QString &what) {
    const QString why = Check(m_drawing, data, what);
    if (why.isEmpty())
        m_layers << data;
    return why;
}

QByteArray TlxSlideLayers::Compose(QString *error) const {
    if (m_layers.isEmpty()) {
        *error = QStringLiteral("the slide has no layer to draw");
        return QByteArray();
    }
    const QList<QByteArrayView> parts(m_layers.begin(), m_layers.end());
    return m_drawing == Drawing::Svg ? TlxSvgFile::Compose(parts, error) : TlxEmfFile::Compose(parts, error);
}
