#include "formats/file_format_list.h"

#include <algorithm>

#include "formats/format_error.h"

namespace formats {

TFileFormatList::TFileFormatList(PictureTypeRegistry& registry) : registry_(registry) {}

TFileFormatList::~TFileFormatList() {
    Clear();
}

TFileFormatList::ClassEntry& TFileFormatList::classEntryFor(const ReaderClass& reader) {
    const int index = FindClass(reader);
    if (index >= 0) {
        return classes_[static_cast<size_t>(index)];
    }
    classes_.push_back(ClassEntry{&reader, QString(), 0});
    return classes_.back();
}

void TFileFormatList::releaseClass(const ReaderClass& reader) {
    const int index = FindClass(reader);
    if (index < 0) {
        return;
    }
    ClassEntry& entry = classes_[static_cast<size_t>(index)];
    if (--entry.count <= 0) {
        registry_.removeClass(reader, this);
        classes_.erase(classes_.begin() + index);
    }
}

void TFileFormatList::Register(const QString& extension, const QString& commonDescription,
                               const QString& individualDescription, int kinds, bool replace,
                               const ReaderClass& reader) {
    if (extension.isEmpty()) {
        return;
    }
    const int existing = FindExtension(extension);
    if (existing >= 0 && !replace) {
        throw FormatError(
            QStringLiteral("Attempt to register %1 twice.").arg(extension).toStdString());
    }
    ClassEntry& classEntry = classEntryFor(reader);
    if (!commonDescription.isEmpty()) {
        classEntry.description = commonDescription;
    }
    const QString registryDescription =
        individualDescription.isEmpty() ? classEntry.description : individualDescription;
    if (existing < 0) {
        ++classEntry.count;
        extensions_.push_back(ExtensionEntry{extension, individualDescription, kinds, &reader});
    } else {
        ExtensionEntry& entry = extensions_[static_cast<size_t>(existing)];
        entry.description = individualDescription;
        entry.kinds = kinds;
        // The old entry of this extension would otherwise still be found behind the new one.
        registry_.removeExtension(entry.extension, this);
        if (entry.reader != &reader) {
            const ReaderClass& previous = *entry.reader;
            entry.reader = &reader;
            ++classEntry.count;  // before releaseClass(), which may move class entries
            releaseClass(previous);
        }
    }
    registry_.add(extension, registryDescription, reader, this);
}

int TFileFormatList::FindExtension(const QString& extension) const {
    const auto found = std::find_if(extensions_.begin(), extensions_.end(), [&](const auto& e) {
        return e.extension.compare(extension, Qt::CaseInsensitive) == 0;
    });
    return found == extensions_.end() ? -1 : static_cast<int>(found - extensions_.begin());
}

int TFileFormatList::FindClass(const ReaderClass& reader) const {
    const auto found = std::find_if(classes_.begin(), classes_.end(),
                                    [&](const ClassEntry& c) { return c.reader == &reader; });
    return found == classes_.end() ? -1 : static_cast<int>(found - classes_.begin());
}

void TFileFormatList::Unregister(const QString& extension) {
    const int index = FindExtension(extension);
    if (index < 0) {
        return;
    }
    const ExtensionEntry entry = extensions_[static_cast<size_t>(index)];
    extensions_.erase(extensions_.begin() + index);
    registry_.removeExtension(entry.extension, this);
    releaseClass(*entry.reader);
}

void TFileFormatList::Unregister(const ReaderClass& reader) {
    std::erase_if(extensions_, [&](const ExtensionEntry& e) { return e.reader == &reader; });
    const int index = FindClass(reader);
    if (index >= 0) {
        classes_.erase(classes_.begin() + index);
    }
    registry_.removeClass(reader, this);
}

void TFileFormatList::Clear() {
    for (const ClassEntry& entry : classes_) {
        registry_.removeClass(*entry.reader, this);
    }
    extensions_.clear();
    classes_.clear();
}

}  // namespace formats
