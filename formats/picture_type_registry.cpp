#include "formats/picture_type_registry.h"

#include <QStringList>
#include <algorithm>

#include "formats/format_error.h"
#include "formats/reader_classes.h"

namespace formats {
namespace {

QString withoutDot(const QString& extension) {
    return extension.startsWith(u'.') ? extension.mid(1) : extension;
}

bool sameExtension(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

void appendOnce(QStringList& patterns, const QString& extension) {
    const QString pattern = QStringLiteral("*.") + extension.toLower();
    if (!patterns.contains(pattern)) {
        patterns.append(pattern);
    }
}

}  // namespace

void PictureTypeRegistry::add(const QString& extension, const QString& description,
                              const ReaderClass& reader, const void* owner) {
    types_.push_back(PictureType{withoutDot(extension), description, &reader, owner});
}

void PictureTypeRegistry::removeExtension(const QString& extension, const void* owner) {
    const QString bare = withoutDot(extension);
    std::erase_if(types_, [&](const PictureType& type) {
        return type.owner == owner && sameExtension(type.extension, bare);
    });
}

void PictureTypeRegistry::removeClass(const ReaderClass& reader, const void* owner) {
    std::erase_if(types_, [&](const PictureType& type) {
        return type.owner == owner && type.reader == &reader;
    });
}

const PictureType* PictureTypeRegistry::find(const QString& extension) const {
    const QString bare = withoutDot(extension);
    const auto found = std::find_if(types_.rbegin(), types_.rend(), [&](const PictureType& type) {
        return sameExtension(type.extension, bare);
    });
    return found == types_.rend() ? nullptr : &*found;
}

QString PictureTypeRegistry::openDialogFilter() const {
    QStringList all;
    QStringList descriptions;
    std::vector<QStringList> patterns;
    for (const PictureType& type : types_) {
        appendOnce(all, type.extension);
        const qsizetype index = descriptions.indexOf(type.description);
        if (index < 0) {
            descriptions.append(type.description);
            patterns.emplace_back();
            appendOnce(patterns.back(), type.extension);
        } else {
            appendOnce(patterns[static_cast<size_t>(index)], type.extension);
        }
    }
    QStringList entries;
    entries.append(QStringLiteral("All pictures (%1)").arg(all.join(u' ')));
    for (qsizetype i = 0; i < descriptions.size(); ++i) {
        entries.append(QStringLiteral("%1 (%2)").arg(descriptions[i],
                                                     patterns[static_cast<size_t>(i)].join(u' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

QImage PictureTypeRegistry::read(const QByteArray& data, const QString& extension) const {
    const PictureType* type = find(extension);
    if (type == nullptr) {
        throw FormatError(
            QStringLiteral("Cannot load image. .%1 files are not a picture type Mugwarp knows.")
                .arg(withoutDot(extension))
                .toStdString());
    }
    return type->reader->read(data);
}

PictureTypeRegistry& pictureTypeRegistry() {
    static PictureTypeRegistry registry = [] {
        PictureTypeRegistry platform;
        platform.add(QStringLiteral("bmp"), QStringLiteral("Bitmaps"), kBitmapReader);
        platform.add(QStringLiteral("ico"), QStringLiteral("Icons"), kIconReader);
        platform.add(QStringLiteral("wmf"), QStringLiteral("Metafiles"), kMetafileReader);
        platform.add(QStringLiteral("emf"), QStringLiteral("Enhanced Metafiles"), kMetafileReader);
        return platform;
    }();
    return registry;
}

}  // namespace formats
