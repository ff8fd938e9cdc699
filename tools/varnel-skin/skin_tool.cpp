#include "tools/varnel-skin/skin_tool.h"

#include "formats/name_escape.h"
#include "platform/os/file.h"

#include "skin/skin_entries.h"
#include "skin/skin_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSet>

#include <map>
#include <system_error>
#include <vector>

namespace varnel::skintool {

namespace fs = std::filesystem;

namespace {

constexpr qsizetype kMaxValuesFileBytes = 1024 * 1024;
constexpr int kPictureAllocationLimitMiB = 80;

QString Native(const fs::path& p) {
    return QFile::decodeName(p.c_str());
}

QString EntryName(const SkinEntry& entry) {
    return QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
}

const char* UsageText() {
    return "usage: varnel-skin pack [--compression N] DIR OUT\n"
           "       varnel-skin unpack SKIN DIR\n"
           "       varnel-skin list SKIN\n"
           "\n"
           "pack    builds a skin store OUT from DIR: one picture per picture entry\n"
           "        (NAME.png or NAME.bmp) and values.txt with the integers and colours.\n"
           "        --compression N: zlib level 0-9 of the stored PNG pictures\n"
           "        (0 stores them uncompressed; default: zlib's default).\n"
           "unpack  writes the pictures of SKIN as NAME.png and its integers and colours\n"
           "        as values.txt into DIR.\n"
           "list    prints the entries of SKIN with kind and size or value.\n";
}

// The bytes of a regular file of at most maxBytes: a FIFO, a device or a
// folder is refused before anything is read, and nothing larger is read.
std::optional<QByteArray> ReadInputFile(const fs::path& file, std::uint64_t maxBytes,
                                        QString* error) {
    try {
        const std::string bytes = platform::ReadWholeFile(file, maxBytes);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    } catch (const platform::FileError& failure) {
        *error = failure.failure() == platform::FileFailure::TooLarge
                     ? QStringLiteral("larger than %1 bytes").arg(maxBytes)
                     : QString::fromLocal8Bit(failure.what());
        return std::nullopt;
    }
}

std::optional<QImage> ReadPicture(const fs::path& file, QString* error) {
    std::optional<QByteArray> bytes = ReadInputFile(
        file, static_cast<std::uint64_t>(formats::PropertyBagLimits::kMaxPictureBytes), error);
    if (!bytes) {
        return std::nullopt;
    }
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(kPictureAllocationLimitMiB);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > formats::PropertyBagLimits::kMaxPictureSide ||
                           size.height() > formats::PropertyBagLimits::kMaxPictureSide)) {
        *error = QStringLiteral("%1x%2 pixels is larger than %3x%3")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(formats::PropertyBagLimits::kMaxPictureSide);
        return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        *error = reader.errorString();
        return std::nullopt;
    }
    return image;
}

std::optional<QString> ReadSmallTextFile(const fs::path& file, QString* error) {
    const std::optional<QByteArray> bytes =
        ReadInputFile(file, static_cast<std::uint64_t>(kMaxValuesFileBytes), error);
    if (!bytes) {
        return std::nullopt;
    }
    return QString::fromUtf8(*bytes);
}

// Writes bytes as the file name in the open folder dir, never through a link
// or over what is not a regular file (a link planted there beforehand is
// refused, not followed). False with the reason in *errors.
bool WriteOutputFile(const platform::OutputFolder& folder, const fs::path& dir,
                     const std::string& name, const QByteArray& bytes, QStringList* errors) {
    try {
        folder.ReplaceFileContents(
            name, std::span<const char>(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return true;
    } catch (const platform::FileError& failure) {
        errors->append(QStringLiteral("cannot write %1: %2")
                           .arg(Native(dir / name), QString::fromLocal8Bit(failure.what())));
        return false;
    }
}

std::optional<Colour> ParseColour(const QString& text) {
    static const QRegularExpression rgb(QStringLiteral("^#([0-9A-Fa-f]{6})$"));
    static const QRegularExpression bgr(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,8})&?$"));
    if (const auto m = rgb.match(text); m.hasMatch()) {
        const std::uint32_t v = m.captured(1).toUInt(nullptr, 16);
        return Colour::FromRgb(static_cast<int>(v >> 16), static_cast<int>(v >> 8),
                               static_cast<int>(v));
    }
    if (const auto m = bgr.match(text); m.hasMatch()) {
        return Colour{m.captured(1).toUInt(nullptr, 16)};
    }
    return std::nullopt;
}

// Outside text (entry names, text values) as the tool prints it: in the
// visible escape of names, so that no control character, stray byte or
// bidirectional control reaches the terminal or a file as it is.
QString Shown(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return QString::fromStdString(formats::EscapeName(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

bool IsPlainFileName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return plain.match(name).hasMatch();
}

QString ValueText(const PropertyValue& value) {
    switch (formats::KindOf(value)) {
    case PropertyKind::Text:
        return QStringLiteral("\"%1\"").arg(Shown(std::get<QString>(value)));
    case PropertyKind::Int32:
        return QString::number(std::get<std::int32_t>(value));
    case PropertyKind::Int16:
        return QString::number(std::get<std::int16_t>(value));
    case PropertyKind::Boolean:
        return std::get<bool>(value) ? QStringLiteral("True") : QStringLiteral("False");
    case PropertyKind::Colour: {
        const Colour c = std::get<Colour>(value);
        if (c.isSystemColour()) {
            return ColourText(c) + QStringLiteral(" (system colour %1)").arg(c.value & 0xFFFFu);
        }
        return ColourText(c) + QStringLiteral(" (#%1%2%3)")
                                   .arg(c.red(), 2, 16, QLatin1Char('0'))
                                   .arg(c.green(), 2, 16, QLatin1Char('0'))
                                   .arg(c.blue(), 2, 16, QLatin1Char('0'))
                                   .toUpper();
    }
    case PropertyKind::Font: {
        const StdFont& f = std::get<StdFont>(value);
        QString s = QStringLiteral("%1 %2pt weight %3 charset %4")
                        .arg(Shown(f.family))
                        .arg(f.pointSize)
                        .arg(f.weight)
                        .arg(f.charset);
        s += f.bold ? QStringLiteral(" bold") : QString();
        s += f.italic ? QStringLiteral(" italic") : QString();
        s += f.underline ? QStringLiteral(" underline") : QString();
        s += f.strikethrough ? QStringLiteral(" strikethrough") : QString();
        return s;
    }
    case PropertyKind::Picture: {
        const QImage& image = std::get<QImage>(value);
        if (image.isNull()) {
            return QStringLiteral("(empty)");
        }
        return QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
    }
    }
    return {};
}

} // namespace

QString ColourText(Colour colour) {
    return QStringLiteral("&H%1&").arg(colour.value, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<PropertyBag> ParseValues(const QString& text, const QString& fileName,
                                       QStringList* errors) {
    PropertyBag bag;
    bool ok = true;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const QString where = QStringLiteral("%1:%2: ").arg(Shown(fileName)).arg(i + 1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            errors->append(where + QStringLiteral("expected NAME = VALUE"));
            ok = false;
            continue;
        }
        const QString name = line.left(eq).trimmed();
        const QString valueText = line.mid(eq + 1).trimmed();
        const SkinEntry* entry = FindSkinEntry(name.toStdString());
        if (entry == nullptr) {
            errors->append(where + QStringLiteral("unknown entry \"%1\"").arg(Shown(name)));
            ok = false;
            continue;
        }
        const QString canonical = EntryName(*entry);
        if (entry->kind == SkinEntryKind::Picture) {
            errors->append(where + QStringLiteral("%1 is a picture entry: give it as %1.png or "
                                                  "%1.bmp in the folder")
                                       .arg(canonical));
            ok = false;
            continue;
        }
        if (bag.contains(canonical)) {
            errors->append(where + QStringLiteral("%1 is given twice").arg(canonical));
            ok = false;
            continue;
        }
        if (entry->kind == SkinEntryKind::Integer) {
            bool isNumber = false;
            const int v = valueText.toInt(&isNumber, 10);
            if (!isNumber || v < -32768 || v > 32767) {
                errors->append(where + QStringLiteral("%1 needs an integer from -32768 to "
                                                      "32767, not \"%2\"")
                                           .arg(canonical, Shown(valueText)));
                ok = false;
                continue;
            }
            bag.SetValue(canonical, static_cast<std::int16_t>(v));
        } else {
            const std::optional<Colour> colour = ParseColour(valueText);
            if (!colour) {
                errors->append(where + QStringLiteral("%1 needs a colour #RRGGBB or &HBBGGRR&, "
                                                      "not \"%2\"")
                                           .arg(canonical, Shown(valueText)));
                ok = false;
                continue;
            }
            bag.SetValue(canonical, *colour);
        }
    }
    if (!ok) {
        return std::nullopt;
    }
    return bag;
}

std::optional<PropertyBag> PackFolder(const fs::path& dir, QStringList* errors) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        errors->append(QStringLiteral("%1 is not a folder").arg(Native(dir)));
        return std::nullopt;
    }
    // Picture files by entry name, any letter case, .png or .bmp.
    std::map<QString, std::vector<fs::path>> pictures;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        const QString ext = Native(p.extension()).toLower();
        if (ext != QLatin1String(".png") && ext != QLatin1String(".bmp")) {
            continue;
        }
        pictures[Native(p.stem()).toUpper()].push_back(p);
    }
    if (ec) {
        errors->append(QStringLiteral("cannot list %1: %2")
                           .arg(Native(dir), QString::fromStdString(ec.message())));
        return std::nullopt;
    }

    bool ok = true;
    PropertyBag values;
    const fs::path valuesFile = dir / kValuesFileName;
    QString error;
    if (!fs::exists(valuesFile, ec)) {
        errors->append(QStringLiteral("missing %1: the integers and colours go there")
                           .arg(Native(valuesFile)));
        ok = false;
    } else if (const std::optional<QString> text = ReadSmallTextFile(valuesFile, &error); !text) {
        errors->append(QStringLiteral("cannot read %1: %2").arg(Native(valuesFile), error));
        ok = false;
    } else if (std::optional<PropertyBag> parsed = ParseValues(*text, Native(valuesFile), errors)) {
        values = std::move(*parsed);
    } else {
        ok = false;
    }

    PropertyBag bag;
    for (const SkinEntry& entry : kSkinEntries) {
        const QString name = EntryName(entry);
        if (entry.kind != SkinEntryKind::Picture) {
            if (const PropertyValue* v = values.value(name)) {
                bag.SetValue(name, *v);
            } else if (fs::exists(valuesFile, ec)) {
                errors->append(
                    QStringLiteral("missing entry %1 in %2").arg(name, Native(valuesFile)));
                ok = false;
            }
            continue;
        }
        const auto found = pictures.find(name.toUpper());
        if (found == pictures.end()) {
            errors->append(QStringLiteral("missing picture entry %1: no %1.png or %1.bmp in %2")
                               .arg(name, Native(dir)));
            ok = false;
            continue;
        }
        if (found->second.size() > 1) {
            QStringList files;
            for (const fs::path& p : found->second) {
                files.append(Native(p.filename()));
            }
            files.sort();
            errors->append(QStringLiteral("picture entry %1 has more than one file: %2")
                               .arg(name, files.join(QStringLiteral(", "))));
            ok = false;
            continue;
        }
        const fs::path& file = found->second.front();
        if (std::optional<QImage> image = ReadPicture(file, &error)) {
            bag.SetValue(name, std::move(*image));
        } else {
            errors->append(QStringLiteral("cannot read picture entry %1 from %2: %3")
                               .arg(name, Native(file), error));
            ok = false;
        }
    }
    if (!ok) {
        return std::nullopt;
    }
    return bag;
}

bool UnpackToFolder(const PropertyBag& bag, const fs::path& dir, QStringList* warnings,
                    QStringList* errors) {
    // The folder is opened once, never through a link (one planted in a
    // shared folder such as /tmp would send every file elsewhere), and each
    // file is written into it.
    platform::OutputFolder folder;
    try {
        folder = platform::OutputFolder::Open(dir);
    } catch (const platform::FileError& failure) {
        errors->append(QStringLiteral("cannot write into folder %1: %2")
                           .arg(Native(dir), QString::fromLocal8Bit(failure.what())));
        return false;
    }
    bool ok = true;
    QString values = QStringLiteral("# Integers (pixels) and colours of the skin.\n"
                                    "# Colours: #RRGGBB or the Windows layout &HBBGGRR&.\n");
    for (const PropertyBag::Entry& e : bag.entries()) {
        const PropertyKind kind = formats::KindOf(e.value);
        const bool number = kind == PropertyKind::Int16 || kind == PropertyKind::Int32;
        if ((number || kind == PropertyKind::Colour) && !IsPlainFileName(e.name)) {
            // values.txt is read back line by line: a name of any other shape
            // could write lines of its own there.
            warnings->append(QStringLiteral("entry \"%1\" left out: its name is not a plain name")
                                 .arg(Shown(e.name)));
            continue;
        }
        if (number) {
            values += QStringLiteral("%1 = %2\n").arg(e.name, ValueText(e.value));
            continue;
        }
        if (kind == PropertyKind::Colour) {
            values +=
                QStringLiteral("%1 = %2\n").arg(e.name, ColourText(std::get<Colour>(e.value)));
            continue;
        }
        if (kind != PropertyKind::Picture) {
            warnings->append(
                QStringLiteral("entry %1 (%2) left out: only pictures, integers "
                               "and colours are unpacked")
                    .arg(Shown(e.name), QLatin1String(formats::PropertyKindName(kind))));
            continue;
        }
        const QImage& image = std::get<QImage>(e.value);
        if (!IsPlainFileName(e.name)) {
            warnings->append(QStringLiteral("picture entry \"%1\" left out: its name is not a "
                                            "plain file name")
                                 .arg(Shown(e.name)));
            continue;
        }
        if (image.isNull()) {
            warnings->append(QStringLiteral("picture entry %1 left out: it is empty").arg(e.name));
            continue;
        }
        const std::string file = e.name.toStdString() + ".png";
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) {
            errors->append(QStringLiteral("cannot encode %1: %2")
                               .arg(Native(dir / file), writer.errorString()));
            ok = false;
            continue;
        }
        ok = WriteOutputFile(folder, dir, file, png, errors) && ok;
    }
    ok = WriteOutputFile(folder, dir, kValuesFileName, values.toUtf8(), errors) && ok;
    return ok;
}

QString ListEntries(const PropertyBag& bag) {
    QString text;
    for (const PropertyBag::Entry& e : bag.entries()) {
        text += QStringLiteral("%1 %2 %3\n")
                    .arg(Shown(e.name), -16)
                    .arg(QLatin1String(formats::PropertyKindName(formats::KindOf(e.value))), -8)
                    .arg(ValueText(e.value));
    }
    QStringList missing;
    QStringList wrongKind;
    for (const SkinEntry& entry : kSkinEntries) {
        const QString name = EntryName(entry);
        const std::optional<PropertyKind> kind = bag.kind(name);
        if (!kind) {
            missing.append(name);
        } else if (*kind != StoredKind(entry.kind)) {
            wrongKind.append(
                QStringLiteral("%1 (expected %2)")
                    .arg(name, QLatin1String(formats::PropertyKindName(StoredKind(entry.kind)))));
        }
    }
    text += QStringLiteral("%1 entries\n").arg(bag.size());
    if (!missing.isEmpty()) {
        text += QStringLiteral("missing: %1\n").arg(missing.join(QStringLiteral(", ")));
    }
    if (!wrongKind.isEmpty()) {
        text += QStringLiteral("wrong kind: %1\n").arg(wrongKind.join(QStringLiteral(", ")));
    }
    return text;
}

namespace {

std::optional<PropertyBag> ReadSkinForTool(const QString& file, QString& err) {
    const fs::path path(QFile::encodeName(file).toStdString());
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        err += QStringLiteral("varnel-skin: %1: no such file\n").arg(file);
        return std::nullopt;
    }
    std::optional<PropertyBag> bag = ReadSkinFile(path);
    if (!bag) {
        err += QStringLiteral("varnel-skin: %1: not a readable skin store\n").arg(file);
    }
    return bag;
}

int Usage(QString& err, const QString& problem) {
    err += QStringLiteral("varnel-skin: %1\n").arg(problem) + QLatin1String(UsageText());
    return kExitUsage;
}

void AppendLines(QString& err, const QStringList& lines, const char* prefix) {
    for (const QString& line : lines) {
        err += QLatin1String(prefix) + line + QLatin1Char('\n');
    }
}

} // namespace

int Run(const QStringList& args, QString& out, QString& err) {
    if (args.isEmpty()) {
        return Usage(err, QStringLiteral("no command"));
    }
    const QString& command = args.front();
    if (command == QLatin1String("-h") || command == QLatin1String("--help") ||
        command == QLatin1String("help")) {
        out += QLatin1String(UsageText());
        return kExitOk;
    }
    if (command == QLatin1String("pack")) {
        QStringList rest = args.mid(1);
        int compression = -1;
        if (!rest.isEmpty() && rest.front().startsWith(QLatin1String("--compression"))) {
            QString level;
            if (rest.front() == QLatin1String("--compression") && rest.size() > 1) {
                level = rest[1];
                rest = rest.mid(2);
            } else if (rest.front().startsWith(QLatin1String("--compression="))) {
                level = rest.front().mid(14);
                rest = rest.mid(1);
            }
            bool isNumber = false;
            compression = level.toInt(&isNumber);
            if (!isNumber || compression < 0 || compression > 9) {
                return Usage(err, QStringLiteral("--compression needs a level from 0 to 9"));
            }
        }
        if (rest.size() != 2) {
            return Usage(err, QStringLiteral("pack needs a folder and an output file"));
        }
        QStringList errors;
        std::optional<PropertyBag> bag =
            PackFolder(fs::path(QFile::encodeName(rest[0]).toStdString()), &errors);
        if (!bag) {
            AppendLines(err, errors, "varnel-skin: ");
            return kExitFailure;
        }
        bag->setPictureCompression(compression);
        const fs::path outFile(QFile::encodeName(rest[1]).toStdString());
        QString error;
        QString done;
        if (!WriteSkinFile(outFile, *bag, &error, &done)) {
            err += QStringLiteral("varnel-skin: cannot write %1: %2\n").arg(rest[1], error);
            return kExitFailure;
        }
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(outFile, ec);
        out += QStringLiteral("%1: %2 entries, %3 bytes (%4)\n")
                   .arg(rest[1])
                   .arg(bag->size())
                   .arg(size)
                   .arg(done);
        if (!ec && size < kSkinMinimumBytes) {
            err += QStringLiteral("varnel-skin: warning: %1 holds %2 bytes; the program uses a "
                                  "skin file only from %3 bytes (try --compression 0)\n")
                       .arg(rest[1])
                       .arg(size)
                       .arg(kSkinMinimumBytes);
        }
        return kExitOk;
    }
    if (command == QLatin1String("unpack")) {
        if (args.size() != 3) {
            return Usage(err, QStringLiteral("unpack needs a skin file and a folder"));
        }
        const std::optional<PropertyBag> bag = ReadSkinForTool(args[1], err);
        if (!bag) {
            return kExitFailure;
        }
        QStringList warnings;
        QStringList errors;
        const bool ok = UnpackToFolder(*bag, fs::path(QFile::encodeName(args[2]).toStdString()),
                                       &warnings, &errors);
        AppendLines(err, warnings, "varnel-skin: warning: ");
        AppendLines(err, errors, "varnel-skin: ");
        return ok ? kExitOk : kExitFailure;
    }
    if (command == QLatin1String("list")) {
        if (args.size() != 2) {
            return Usage(err, QStringLiteral("list needs a skin file"));
        }
        const std::optional<PropertyBag> bag = ReadSkinForTool(args[1], err);
        if (!bag) {
            return kExitFailure;
        }
        out += ListEntries(*bag);
        return kExitOk;
    }
    return Usage(err, QStringLiteral("unknown command \"%1\"").arg(command));
}

} // namespace varnel::skintool
