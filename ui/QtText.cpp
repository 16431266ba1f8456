#include "ui/QtText.h"

#include "jobs/Charset.h"
#include "pdb/FileIo.h"

QString FromCp1252(std::string_view text)
{
    const std::string utf8 = Cp1252ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp1252(const QString& text)
{
    ReplacedCharacters ignored;
    return ToCp1252(text, ignored);
}

std::string ToCp1252(const QString& text, ReplacedCharacters& replaced)
{
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), replaced);
}

QString LoadedTextToEditor(std::string_view loadedText)
{
    return SongFileToEditor(Cp1252ToUtf8(loadedText));
}

QString SongFileToEditor(std::string_view songFile)
{
    QString text = FromUtf8(songFile);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string EditorToLoadedText(const QString& editorText)
{
    ReplacedCharacters ignored;
    return EditorToLoadedText(editorText, ignored);
}

namespace {
// The editor's raw text with every line break CR LF.
QString WithCrLf(const QString& editorText)
{
    QString text = editorText;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}
} // namespace

std::string EditorToLoadedText(const QString& editorText, ReplacedCharacters& replaced)
{
    return ToCp1252(WithCrLf(editorText), replaced);
}

std::string EditorToSongFile(const QString& editorText)
{
    return WithCrLf(editorText).toUtf8().toStdString();
}

std::filesystem::path ToPath(const QString& path)
{
    return PathFromUtf8(path.toUtf8().toStdString());
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FormatString(std::string_view format, const QString& value)
{
    QString text = FromUtf8(format);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0) {
        text.replace(at, 2, value);
    }
    return text;
}

QString FormatNumber(std::string_view format, long long value)
{
    QString text = FromUtf8(format);
    const qsizetype at = text.indexOf(QStringLiteral("%d"));
    if (at >= 0) {
        text.replace(at, 2, QString::number(value));
    }
    return text;
}
