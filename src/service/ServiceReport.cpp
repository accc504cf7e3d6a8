#include "service/ServiceReport.h"

#include "deck/DeckPackage.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

QString ServiceReport::AnswerName(const ServiceDeck &deck, const QString &file) {
    return deck.name + QFileInfo(file).fileName().mid(4); // after "deck"
}

bool ServiceReport::AnyConverted(const ServiceJob &job) {
    return std::any_of(job.decks.begin(), job.decks.end(), [](const ServiceDeck &d) { return d.error.isEmpty(); });
}

QByteArray ServiceReport::Json(const ServiceJob &job) {
    QJsonArray decks;
    for (const ServiceDeck &d : job.decks) {
        QJsonArray files, fonts, equations, pictures;
        for (const QString &f : d.files)
            files.append(AnswerName(d, f));
        for (const fonts::FontReport::Entry &e : d.fonts)
            fonts.append(QJsonObject{{"asked", e.asked}, {"drawnWith", e.drawnWith}, {"how", e.how}});
        for (const auto &[slide, count] : d.equations)
            equations.append(QJsonObject{{"slide", slide}, {"equations", count}});
        for (const auto &[file, parts] : d.pictureParts)
            pictures.append(QJsonObject{{"file", AnswerName(d, file)}, {"parts", parts}});
        decks.append(QJsonObject{{"name", d.name},
                                 {"status", d.error.isEmpty() ? "converted" : "failed"},
                                 {"message", d.error},
                                 {"files", files},
                                 {"slides", int(d.files.size())},
                                 {"seconds", std::round(d.seconds * 1000) / 1000},
                                 {"fontsMissing", fonts},
                                 {"equationPictures", equations},
                                 {"pictureParts", pictures}});
    }
    const QJsonObject o{{"format", job.options.FormatName()},
                        {"queueSeconds", std::round(job.queueSeconds * 1000) / 1000},
                        {"decks", decks}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

QByteArray ServiceReport::Failures(const ServiceJob &job) {
    QJsonArray decks;
    for (const ServiceDeck &d : job.decks)
        decks.append(QJsonObject{{"name", d.name}, {"message", d.error}});
    return QJsonDocument(QJsonObject{{"error", "no deck could be converted"}, {"decks", decks}})
        .toJson(QJsonDocument::Compact);
}

bool ServiceReport::WriteZip(const ServiceJob &job, const QString &path) {
    QList<QPair<QString, QByteArray>> parts;
    for (const ServiceDeck &d : job.decks) {
        for (const QString &f : d.files) {
            QFile file(f);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            parts.append({AnswerName(d, f), file.readAll()});
        }
    }
    parts.append({QStringLiteral("report.json"), Json(job)});
    QFile out(path);
    const QByteArray zip = deck::DeckPackage::Zip(parts);
    return !zip.isEmpty() && out.open(QIODevice::WriteOnly) && out.write(zip) == zip.size();
}
