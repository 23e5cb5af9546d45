// The format list: the readers the program registers at start-up, each extension linked to a
// reader class, and every registration mirrored into a picture-type registry.
#pragma once

#include <QString>
#include <vector>

#include "formats/picture_type_registry.h"

namespace formats {

// Bits of an entry's format kinds; stored for completeness, not consulted anywhere.
enum FormatKind : int {
    kLayeredPictures = 2,
    kSeveralPictures = 4,
    kRaster = 8,
    kVector = 16,
};

class TFileFormatList {
public:
    struct ExtensionEntry {
        QString extension;
        QString description;  // individual description, may be empty
        int kinds = 0;
        const ReaderClass* reader = nullptr;
    };
    struct ClassEntry {
        const ReaderClass* reader = nullptr;
        QString description;  // common description
        int count = 0;        // extension entries linking to this class
    };

    explicit TFileFormatList(PictureTypeRegistry& registry);
    ~TFileFormatList();  // clears: the registry keeps none of this list's entries
    TFileFormatList(const TFileFormatList&) = delete;
    TFileFormatList& operator=(const TFileFormatList&) = delete;

    // An empty extension does nothing. A known extension (any case) throws FormatError
    // "Attempt to register <ext> twice." unless replace is set, which relinks it to reader.
    // The extension is then entered in the registry with the individual description, or the
    // class's common description when that is empty.
    void Register(const QString& extension, const QString& commonDescription,
                  const QString& individualDescription, int kinds, bool replace,
                  const ReaderClass& reader);

    int FindExtension(const QString& extension) const;  // index or -1, any case
    int FindClass(const ReaderClass& reader) const;     // index or -1

    // Removes one extension entry and its registry entry; a class no extension links to any
    // more goes too, with all its registry entries. An unknown extension does nothing.
    void Unregister(const QString& extension);
    // Removes every extension entry of the class, the class and its registry entries.
    void Unregister(const ReaderClass& reader);
    // Removes every reader class of this list from the registry and empties both lists.
    void Clear();

    const std::vector<ExtensionEntry>& extensions() const { return extensions_; }
    const std::vector<ClassEntry>& classes() const { return classes_; }

private:
    ClassEntry& classEntryFor(const ReaderClass& reader);
    void releaseClass(const ReaderClass& reader);

    PictureTypeRegistry& registry_;
    std::vector<ExtensionEntry> extensions_;
    std::vector<ClassEntry> classes_;
};

}  // namespace formats
