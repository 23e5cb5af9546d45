#include "cli/batch_arguments.h"

#include "warp/warp_brush.h"

#include <charconv>
#include <optional>
#include <string>

#include "formats/colour_value.h"
#include "formats/picture_file.h"

namespace batch {
namespace {

// A whole decimal integer with an optional minus sign, nothing else.
std::optional<int> integerFrom(const QString& text) {
    const std::string digits = text.toStdString();
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// #rrggbb with hexadecimal digits in either case, nothing else, as a colour value.
std::optional<int> colourFrom(const QString& text) {
    if (text.size() != 7 || text[0] != u'#') {
        return std::nullopt;
    }
    uint32_t rgb = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        uint32_t digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return std::nullopt;
        }
        rgb = rgb * 16 + digit;
    }
    return static_cast<int>(colour::make(rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff));
}

// The place of `text` among `words`.
std::optional<int> wordFrom(const QString& text, const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (text.toStdString() == words[i]) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

QString wordList(const std::vector<std::string>& words) {
    QStringList list;
    for (const std::string& word : words) {
        list.append(QString::fromStdString(word));
    }
    return list.join(u", ");
}

[[noreturn]] void refuse(const QString& message) {
    throw UsageError(message.toStdString());
}

}  // namespace

BatchArguments parseBatchArguments(const QStringList& arguments) {
    BatchArguments result;
    QStringList words;
    bool repeatGiven = false;
    bool qualityGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (word == u"--") {
            // What follows are names, even those that begin with a dash.
            words.append(arguments.mid(i + 1));
            break;
        }
        if (word == u"--help" || word == u"-h") {
            result.helpWanted = true;
            return result;
        }
        if (word == u"--faces") {
            result.listFaces = true;
            continue;
        }
        if (word == u"--repeat") {
            if (repeatGiven) {
                refuse("--repeat is given twice");
            }
            const auto count =
                i + 1 < arguments.size() ? integerFrom(arguments[i + 1]) : std::nullopt;
            if (!count || *count < 1) {
                refuse("--repeat needs a positive whole number");
            }
            result.repeat = *count;
            repeatGiven = true;
            ++i;
        } else if (word == u"--webp-quality") {
            if (qualityGiven) {
                refuse("--webp-quality is given twice");
            }
            const auto quality =
                i + 1 < arguments.size() ? integerFrom(arguments[i + 1]) : std::nullopt;
            if (!quality || *quality < 1 || *quality > 100) {
                refuse("--webp-quality needs a whole number from 1 to 100");
            }
            result.webpQuality = *quality;
            qualityGiven = true;
            ++i;
        } else if (word.startsWith(u"--")) {
            refuse(QStringLiteral("unknown option %1").arg(word));
        } else {
            words.append(word);
        }
    }
    if (result.listFaces) {
        if (words.size() != 1 || repeatGiven || qualityGiven) {
            refuse("--faces takes INPUT alone");
        }
        result.input = words[0];
        return result;
    }
    if (words.size() < 2) {
        refuse("INPUT and OUTPUT are needed");
    }
    result.input = words[0];
    result.output = words[1];
    if (!formats::isWritableFileName(result.output)) {
        refuse(QStringLiteral("cannot write %1: OUTPUT must end in .bmp, .jpg, .jpeg, .gif, .wmf, "
                              ".png or .webp")
                   .arg(result.output));
    }
    if (qualityGiven && !result.output.endsWith(u".webp", Qt::CaseInsensitive)) {
        refuse("--webp-quality needs a .webp OUTPUT");
    }
    if (words.size() == 2) {
        if (repeatGiven) {
            refuse("--repeat needs an operation");
        }
        return result;
    }
    const QString name = words[2];
    result.operation = findOperation(name.toStdString());
    if (result.operation == nullptr) {
        refuse(QStringLiteral("unknown operation %1").arg(name));
    }
    const std::vector<Argument>& wanted = result.operation->arguments;
    const qsizetype expected = static_cast<qsizetype>(wanted.size());
    if (words.size() == 3 && !result.operation->defaults.empty()) {
        result.values = result.operation->defaults;
        return result;
    }
    if (words.size() - 3 != expected) {
        refuse(QStringLiteral("%1 takes %2 arguments, %3 given")
                   .arg(name)
                   .arg(expected)
                   .arg(words.size() - 3));
    }
    for (qsizetype i = 0; i < expected; ++i) {
        const QString& word = words[3 + i];
        const ArgumentKind kind = wanted[i].kind;
        if (kind == ArgumentKind::File) {
            result.values.push_back(static_cast<int>(result.files.size()));
            result.files.push_back(word);
            continue;
        }
        const auto value = kind == ArgumentKind::Colour ? colourFrom(word)
                           : kind == ArgumentKind::Word ? wordFrom(word, wanted[i].words)
                                                        : integerFrom(word);
        if (!value) {
            const QString expected =
                kind == ArgumentKind::Colour ? QStringLiteral("a colour written #rrggbb")
                : kind == ArgumentKind::Word
                    ? QStringLiteral("one of %1").arg(wordList(wanted[i].words))
                    : QStringLiteral("a whole number");
            refuse(QStringLiteral("%1 of %2 must be %3, not %4")
                       .arg(QString::fromLatin1(wanted[i].name), name, expected, word));
        }
        result.values.push_back(*value);
    }
    return result;
}

QString usageText() {
    QString text = QStringLiteral(
        "Usage: mugwarp-batch INPUT OUTPUT [OPERATION ARGS...] [--repeat N] [--webp-quality Q]\n"
        "       mugwarp-batch --faces INPUT\n"
        "Reads INPUT by its content, or else by its extension: BMP (.bmp .rle .dib), icons\n"
        "(.ico .cur), JPEG, GIF, PNG, TIFF (.tif .tiff .fax), EPS (its preview, or its\n"
        "PostScript drawn by Ghostscript), WMF, EMF, Targa (.tga .win .vst .vda .icb), PCX\n"
        "(.pcx .pcc .scr, and multi-page .dcx), SGI (.sgi .rgb .rgba .bw), Photoshop (.psd\n"
        ".pdd .psb), portable maps (.pbm .pgm .ppm), Autodesk (.cel .pic), Photo-CD (.pcd),\n"
        "Dr. Halo (.cut), Paintshop Pro (.psp), Alias/Wavefront RLA (.rla .rpf), WebP\n"
        "(.webp), HEIF (.heic .heif), AVIF (.avif) and JPEG XL (.jxl); photographs come out\n"
        "upright by their orientation and in sRGB by their colour profile.\n"
        "Applies OPERATION N times (once by default) and writes OUTPUT as a 24-bit BMP\n"
        "(.bmp), a JPEG (.jpg, .jpeg), a 216-colour GIF (.gif), a placeable metafile (.wmf),\n"
        "a PNG (.png) or a WebP (.webp: lossless, or lossy at quality Q with --webp-quality).\n"
        "Without an operation the picture is only converted. Coordinates and sizes are\n"
        "whole picture pixels; colours are written #rrggbb. After -- every word is a name\n"
        "or an argument, so names may begin with a dash: mugwarp-batch -- -in.png out.png\n"
        "--faces prints each face found in INPUT: its box (left top width height), then its\n"
        "68 landmarks as x,y pairs, a line per face; it writes nothing.\n"
        "Exit status: 0 done; 1 failed, with a one-line message and no OUTPUT written;\n"
        "2 bad arguments, with this text.\n"
        "Operations:\n");
    constexpr qsizetype kSynopsisWidth = 22;
    for (const OperationInfo& operation : operationTable()) {
        QString line = QStringLiteral("  %1").arg(QString::fromLatin1(operation.name));
        QStringList names;
        for (const Argument& argument : operation.arguments) {
            names.append(QString::fromLatin1(argument.name));
        }
        if (!names.isEmpty()) {
            const QString joined = names.join(u' ');
            line += u' ' + (operation.defaults.empty() ? joined : u'[' + joined + u']');
        }
        // A synopsis too long for the column gets its summary on the next line.
        if (line.size() > kSynopsisWidth) {
            text += line + u'\n';
            line.clear();
        }
        text += line.leftJustified(kSynopsisWidth) + u' ' + QString::fromLatin1(operation.summary) +
                u'\n';
    }
    // The words an operation takes are listed after the table.
    for (const OperationInfo& operation : operationTable()) {
        for (const Argument& argument : operation.arguments) {
            if (argument.kind == ArgumentKind::Word) {
                text += QStringLiteral("%1 of %2: %3\n")
                            .arg(QString::fromLatin1(argument.name),
                                 QString::fromLatin1(operation.name), wordList(argument.words));
            }
        }
    }
    QStringList tools;
    for (const warp::BrushInfo& brush : warp::brushTable()) {
        tools.append(
            QString::fromUtf8(brush.word.data(), static_cast<qsizetype>(brush.word.size())));
    }
    text += QStringLiteral(
                "TOOL of stroke: %1; STRENGTH and HARDNESS 0..100 (HARDNESS 50 when "
                "left out); a push dab pushes from the line before when that is a push\n")
                .arg(tools.join(QStringLiteral(", ")));
    return text;
}

}  // namespace batch
