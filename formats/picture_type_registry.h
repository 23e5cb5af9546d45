// The picture machinery's own list of file types: what the open dialog offers and previews.
// Each entry ties an extension to a description and the reader class that decodes it.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

#include "formats/readers/format_readers.h"

namespace formats {

// A reader class: a name for messages and the function that decodes a whole file. Classes are
// told apart by their address, so each one is a single constant (see reader_classes.h).
struct ReaderClass {
    const char* name;
    PictureReader read;
};

struct PictureType {
    QString extension;  // without the dot, kept as registered
    QString description;
    const ReaderClass* reader = nullptr;
    const void* owner = nullptr;  // who entered it, so a format list removes only its own
};

class PictureTypeRegistry {
public:
    // Appends an entry. The same extension may be entered more than once; the latest entry is
    // the one that reads it.
    void add(const QString& extension, const QString& description, const ReaderClass& reader,
             const void* owner = nullptr);
    // Removes the entries of one extension (any case) entered by owner.
    void removeExtension(const QString& extension, const void* owner);
    // Removes every entry of a reader class entered by owner.
    void removeClass(const ReaderClass& reader, const void* owner);

    // The latest entry of an extension (with or without its dot, any case), or nullptr.
    const PictureType* find(const QString& extension) const;
    const std::vector<PictureType>& types() const { return types_; }

    // The filter of the open dialog in Qt's syntax: "All pictures (*.a *.b ...)" first, then
    // one entry per description in order of first registration, "Description (*.x *.y)",
    // joined with ";;". Extensions are shown in lower case, each once per entry.
    QString openDialogFilter() const;

    // Decodes data with the reader of the extension. Throws FormatError for an extension
    // that is not registered and whatever the reader throws.
    QImage read(const QByteArray& data, const QString& extension) const;

private:
    std::vector<PictureType> types_;
};

// The program's one registry, holding from its creation the entries of the platform's own
// picture classes (bmp, ico, wmf, emf).
PictureTypeRegistry& pictureTypeRegistry();

}  // namespace formats
