#include "settings/ProfileStore.h"

#include "settings/FileEncoding.h"
#include "settings/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

namespace tavrin {

namespace {

constexpr char kSysopFileName[] = "kelmmessageforsysop.ini";
constexpr int kDefaultCapacity = 265;
constexpr int kSysopCapacity = 256;
constexpr char kConfigDirVariable[] = "TAVRIN_CONFIG_DIR";
constexpr char kConfigSubdir[] = "tavrin";
// A file we create gets LF line ends (the platform's own); a file that exists keeps the
// style of its first line end, so a file shared with a Windows machine stays CRLF.
constexpr char kNewFileLineEnd[] = "\n";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// Our largest file holds a few dozen kilobytes. A file far beyond that is not a settings file
// (a wrong copy, a runaway program): reading it whole held start-up for seconds and took
// gigabytes, so only its beginning is read and a save leaves it alone.
constexpr qint64 kMaxFileBytes = 1024 * 1024;
// How much of a value too long to save is shown, so that the operator can find it.
constexpr int kShownValueStart = 20;

// One line of a file: offsets into the content. [begin, textEnd) is the text,
// [textEnd, end) the line end ("\n", "\r\n", "\r" or nothing on a last line without one).
struct Line {
    qsizetype begin;
    qsizetype textEnd;
    qsizetype end;
};

enum class LineKind { Blank, Header, Key, Comment, Other };

struct Parsed {
    LineKind kind = LineKind::Other;
    QByteArray name;  // section name (Header) or key (Key), trimmed
    QByteArray value; // Key only, trimmed
};

qsizetype bomLength(const QByteArray &content)
{
    return content.startsWith(kUtf8Bom) ? qsizetype(sizeof kUtf8Bom - 1) : 0;
}

// Splits into lines in one linear pass, so a huge line costs no more than its length. A
// line ends at LF, CR LF, or a lone CR: a file from an editor that ends lines with CR alone
// would otherwise be one long line, its settings unread.
std::vector<Line> splitLines(const QByteArray &content)
{
    std::vector<Line> lines;
    const char *data = content.constData();
    const qsizetype size = content.size();
    qsizetype begin = bomLength(content);
    for (qsizetype pos = begin; pos < size; ++pos) {
        if (data[pos] != '\n' && data[pos] != '\r')
            continue;
        const qsizetype end = (data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n') ? pos + 2 : pos + 1;
        lines.push_back({begin, pos, end});
        begin = end;
        pos = end - 1;
    }
    if (begin < size)
        lines.push_back({begin, size, size});
    return lines;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Trimmed view of [begin, end) without copying the untrimmed text first.
QByteArray trimmedRange(const QByteArray &content, qsizetype begin, qsizetype end)
{
    while (begin < end && isBlank(content.at(begin)))
        ++begin;
    while (end > begin && isBlank(content.at(end - 1)))
        --end;
    return content.mid(begin, end - begin);
}

Parsed parseLine(const QByteArray &content, const Line &line)
{
    Parsed p;
    qsizetype begin = line.begin;
    const qsizetype end = line.textEnd;
    while (begin < end && isBlank(content.at(begin)))
        ++begin;
    if (begin == end) {
        p.kind = LineKind::Blank;
        return p;
    }
    // Searches stay inside the line: a search running on into the rest of the file would
    // make a file of many junk lines cost quadratic time.
    const QByteArrayView text = QByteArrayView(content).sliced(begin, end - begin);
    const char first = text.front();
    if (first == '[') {
        const qsizetype close = begin + text.lastIndexOf(']');
        if (close > begin) {
            p.kind = LineKind::Header;
            p.name = trimmedRange(content, begin + 1, close);
            return p;
        }
        return p; // "[" without "]": junk, kept as it is
    }
    if (first == ';' || first == '#') {
        p.kind = LineKind::Comment;
        return p;
    }
    const qsizetype eqInLine = text.indexOf('=');
    if (eqInLine < 0)
        return p;
    const qsizetype eq = begin + eqInLine;
    QByteArray key = trimmedRange(content, begin, eq);
    if (key.isEmpty())
        return p;
    p.kind = LineKind::Key;
    p.name = std::move(key);
    p.value = trimmedRange(content, eq + 1, end);
    return p;
}

bool sectionMatches(const QByteArray &name, const QString &section)
{
    return QString::fromUtf8(name).compare(section, Qt::CaseInsensitive) == 0;
}

QString foldKey(const QString &key)
{
    return key.trimmed().toUpper();
}

// A key the writer may use: anything else would be written as a header, a comment or a
// line that reads back as a different key.
bool isWritableKey(const QString &key)
{
    const QString k = key.trimmed();
    if (k.isEmpty() || k.startsWith(u'[') || k.startsWith(u';') || k.startsWith(u'#'))
        return false;
    for (QChar c : k) {
        if (c == u'=' || c == u'\n' || c == u'\r' || c == QChar(0))
            return false;
    }
    return true;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

// A value written in quotes (Name="My Station", as people write by hand and as Windows reads
// it) is the text between them.
QByteArray unquoted(const QByteArray &value)
{
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// A value is one line: it ends at a NUL as the C API would end it, and line breaks become
// blanks so a value can never add lines (or keys) to the file. A value that reading would
// change (blanks at either end, which are trimmed; quotes around it, which are taken off)
// goes in quotes, so it comes back as it was.
QByteArray encodeValue(const QString &value)
{
    QString v = value;
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    QByteArray text = v.toUtf8();
    if (!text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()) || unquoted(text).size() != text.size()))
        text = '"' + text + '"';
    return text;
}

// First n code points of text; a surrogate pair counts as one and is never split.
QString leftCodePoints(const QString &text, int n)
{
    qsizetype i = 0;
    int count = 0;
    const qsizetype size = text.size();
    while (i < size && count < n) {
        if (text.at(i).isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate())
            i += 2;
        else
            ++i;
        ++count;
    }
    return text.left(i);
}

// The whole lines of a file's beginning, cut short: a value cut in the middle must not be
// read as the value. UTF-8 and code-page bytes are cut at a line end (never part of a longer
// character there); UTF-16 is decoded first, to UTF-8.
QByteArray wholeLinesOf(QByteArray head)
{
    const FileEncoding encoding = detectEncoding(head.left(2));
    if (encoding == FileEncoding::Utf16LE || encoding == FileEncoding::Utf16BE) {
        head.truncate(head.size() & ~qsizetype(1));
        head = toUtf8(head, encoding);
    }
    head.truncate(std::max(head.lastIndexOf('\n'), head.lastIndexOf('\r')) + 1);
    return head;
}

} // namespace

// --- ProfileSnapshot ------------------------------------------------------------------

ProfileSnapshot::ProfileSnapshot(const QByteArray &fileContent, int capacity) : capacity_(capacity)
{
    const QByteArray content = toUtf8(fileContent, detectEncoding(fileContent));
    const QString section = QString::fromLatin1(kSettingsSection);
    bool inSection = false;
    bool headerSeen = false;
    QStringList aboveHeader;
    for (const Line &line : splitLines(content)) {
        Parsed p = parseLine(content, line);
        if (p.kind != LineKind::Blank && p.kind != LineKind::Comment)
            hasContent_ = true;
        if (p.kind == LineKind::Header) {
            headerSeen = true;
            inSection = sectionMatches(p.name, section);
            hasSection_ = hasSection_ || inSection;
        } else if (p.kind == LineKind::Key && !headerSeen) {
            aboveHeader << QString::fromUtf8(p.name);
        } else if (p.kind == LineKind::Key && inSection) {
            const QString key = QString::fromUtf8(p.name).toUpper();
            if (entries_.contains(key)) // the first of duplicate keys wins
                continue;
            // A value ends at a NUL, as the C API reads it and as the writer cuts it: what a
            // window reads is then what its save writes back.
            if (const qsizetype nul = p.value.indexOf('\0'); nul >= 0)
                p.value = p.value.left(nul).trimmed();
            const QString value = QString::fromUtf8(unquoted(p.value));
            if (leftCodePoints(value, capacity_ - 1).size() < value.size())
                tooLong_ << QString::fromUtf8(p.name);
            entries_.insert(key, value);
        }
    }
    if (hasSection_)
        aboveSection_ = aboveHeader;
}

bool ProfileSnapshot::notUnderstood() const
{
    return hasContent_ && !hasSection_;
}

QString ProfileSnapshot::ReadSetting(const QString &key, const QString &defaultValue) const
{
    const auto it = entries_.constFind(foldKey(key));
    const QString &value = it == entries_.cend() ? defaultValue : it.value();
    return leftCodePoints(value, capacity_ - 1);
}

bool ProfileSnapshot::contains(const QString &key) const
{
    return entries_.contains(foldKey(key));
}

// --- applyWrites --------------------------------------------------------------------------

QByteArray applyWrites(const QByteArray &content, const QString &section, const KeyValues &values)
{
    const std::vector<Line> lines = splitLines(content);
    const qsizetype lineCount = qsizetype(lines.size());

    QByteArray lineEnd = kNewFileLineEnd;
    for (const Line &line : lines) {
        if (line.end > line.textEnd) {
            lineEnd = content.mid(line.textEnd, line.end - line.textEnd);
            break;
        }
    }

    // Where each key lives: an original line (index >= 0) or an added line (-1 - index).
    QHash<QString, qsizetype> keyLines;
    qsizetype anchor = -1; // new lines go after this original line (-1: before all)
    bool sectionFound = false;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < lineCount; ++i) {
        const Parsed p = parseLine(content, lines[size_t(i)]);
        if (p.kind == LineKind::Header) {
            inSection = sectionMatches(p.name, section);
            inFirstSection = inSection && !sectionFound;
            if (inFirstSection) {
                sectionFound = true;
                anchor = i;
            }
            continue;
        }
        if (inFirstSection && p.kind != LineKind::Blank)
            anchor = i; // new keys go before the section's trailing blank lines
        if (inSection && p.kind == LineKind::Key) {
            const QString key = QString::fromUtf8(p.name).toUpper();
            if (!keyLines.contains(key))
                keyLines.insert(key, i);
        }
    }

    QHash<qsizetype, QByteArray> replaced;
    std::vector<QByteArray> added;
    if (!sectionFound) {
        anchor = lineCount - 1;
        bool lastIsBlank = lineCount == 0;
        if (lineCount > 0) {
            const Line &last = lines.back();
            lastIsBlank = trimmedRange(content, last.begin, last.textEnd).isEmpty();
        }
        if (!lastIsBlank)
            added.push_back(QByteArray()); // a blank line between sections
        added.push_back('[' + section.toUtf8() + ']');
    }

    for (const auto &[key, value] : values) {
        if (!isWritableKey(key))
            continue;
        const QByteArray text = key.trimmed().toUtf8() + '=' + encodeValue(value);
        const QString folded = foldKey(key);
        const auto it = keyLines.constFind(folded);
        if (it == keyLines.cend()) {
            keyLines.insert(folded, -1 - qsizetype(added.size()));
            added.push_back(text);
        } else if (it.value() >= 0) {
            replaced.insert(it.value(), text);
        } else {
            added[size_t(-1 - it.value())] = text;
        }
    }

    if (!sectionFound && keyLines.size() == 0)
        added.clear(); // nothing to write: no empty section either

    QByteArray out;
    out.reserve(content.size() + 64 * qsizetype(added.size()));
    out += content.left(bomLength(content));
    const auto appendAdded = [&] {
        for (const QByteArray &a : added)
            out += a + lineEnd;
    };
    if (anchor < 0)
        appendAdded();
    for (qsizetype i = 0; i < lineCount; ++i) {
        const Line &line = lines[size_t(i)];
        const auto rep = replaced.constFind(i);
        if (rep == replaced.cend())
            out.append(content.constData() + line.begin, line.textEnd - line.begin);
        else
            out += rep.value();
        if (line.end > line.textEnd)
            out.append(content.constData() + line.textEnd, line.end - line.textEnd);
        else if (i == anchor && !added.empty())
            out += lineEnd; // the last line had no line end; the added ones follow it
        if (i == anchor)
            appendAdded();
    }
    return out;
}

// --- ProfileStore --------------------------------------------------------------------

ProfileStore::ProfileStore(QString directory) : directory_(std::move(directory)) {}

QString ProfileStore::pathOf(const QString &fileName) const
{
    const QDir dir(directory_);
    const QString exact = dir.filePath(fileName);
    if (const QFileInfo info(exact); info.exists() || info.isSymLink())
        return exact;
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    for (const QString &name : names) {
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    }
    return exact;
}

int ProfileStore::capacityFor(const QString &fileName)
{
    return fileName.compare(QLatin1String(kSysopFileName), Qt::CaseInsensitive) == 0 ? kSysopCapacity
                                                                                    : kDefaultCapacity;
}

ProfileSnapshot ProfileStore::load(const QString &fileName) const
{
    const QString path = pathOf(fileName);
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    QByteArray content;
    // A file that is missing or cannot be read gives every key its default; so does one that
    // is no plain file (a pipe would hold start-up until someone writes to it).
    if (const QFileInfo info(path); info.exists()) {
        if (!info.isFile())
            noteLoadProblem(QStringLiteral("The settings file \"%1\" is not a plain file (a folder?); its settings "
                                           "are at their defaults, and saving them will fail until it is moved aside.")
                                .arg(shown));
        else if (!file.open(QIODevice::ReadOnly))
            noteLoadProblem(QStringLiteral("The settings file \"%1\" could not be read (%2); its settings are at "
                                           "their defaults.")
                                .arg(shown, file.errorString()));
        else
            content = file.read(kMaxFileBytes + 1);
    }
    if (content.size() > kMaxFileBytes) {
        noteLoadProblem(QStringLiteral("The settings file \"%1\" is larger than %2 MB, too large to be a settings "
                                       "file: only its beginning was read, and saving to it will fail until it is "
                                       "moved aside.")
                            .arg(shown, QString::number(kMaxFileBytes / (1024 * 1024))));
        content = wholeLinesOf(content.left(kMaxFileBytes));
    }
    ProfileSnapshot snapshot(content, capacityFor(fileName));
    if (snapshot.notUnderstood())
        noteLoadProblem(QStringLiteral("The settings file \"%1\" was not understood: it has no line [%2], so none "
                                       "of its settings were read and their defaults are in use. Its lines are "
                                       "kept; put [%2] on a line of its own above the settings.")
                            .arg(shown, QLatin1String(kSettingsSection)));
    if (!snapshot.aboveSection().isEmpty())
        noteLoadProblem(QStringLiteral("In the settings file \"%1\", these settings stand above the line [%2] and "
                                       "are not read: %3. Move them below it.")
                            .arg(shown, QLatin1String(kSettingsSection),
                                 snapshot.aboveSection().join(QStringLiteral(", "))));
    if (!snapshot.tooLong().isEmpty())
        noteLoadProblem(QStringLiteral("In the settings file \"%1\", these values are longer than the %2 characters "
                                       "a setting holds: %3. Only their first %2 characters are in use, and a save "
                                       "keeps only those.")
                            .arg(shown, QString::number(capacityFor(fileName) - 1),
                                 snapshot.tooLong().join(QStringLiteral(", "))));
    return snapshot;
}

void ProfileStore::noteLoadProblem(const QString &text) const
{
    if (problemsSaid_.contains(text))
        return;
    problemsSaid_ << text;
    loadProblems_ << text;
}

QStringList ProfileStore::takeLoadProblems()
{
    return std::exchange(loadProblems_, {});
}

QString ProfileStore::ReadSetting(const QString &fileName, const QString &key, const QString &defaultValue) const
{
    return load(fileName).ReadSetting(key, defaultValue);
}

SaveResult ProfileStore::WriteSetting(const QString &fileName, const QString &key, const QString &value)
{
    return writeBatch(fileName, KeyValues{{key, value}});
}

SaveResult ProfileStore::writeBatch(const QString &fileName, const KeyValues &values)
{
    const QString path = pathOf(fileName);
    const QString shown = QDir::toNativeSeparators(path);
    const auto failure = [&](const QString &reason) {
        return SaveResult{false, QStringLiteral("Could not save the settings file \"%1\": %2").arg(shown, reason)};
    };

    // Counted as the caller has it: what a read gives back is measured the same way.
    const int limit = capacityFor(fileName) - 1;
    KeyValues fitting;
    QStringList tooLong;
    for (const auto &kv : values) {
        if (!isWritableKey(kv.first))
            return failure(QStringLiteral("\"%1\" is not a valid key name.").arg(kv.first));
        if (leftCodePoints(kv.second, limit).size() < kv.second.size())
            tooLong << QStringLiteral("%1 (%2 characters, \"%3...\")")
                           .arg(kv.first.trimmed(), QString::number(kv.second.toUcs4().size()),
                                leftCodePoints(kv.second, kShownValueStart));
        else
            fitting.append(kv);
    }
    const auto tooLongResult = [&](bool restSaved) {
        const bool several = tooLong.size() > 1;
        return SaveResult{false, QStringLiteral("%1 %2 longer than the %3 characters a setting holds, so %4 not saved in "
                                                "\"%5\" (the file keeps the earlier value). Shorten the text and save "
                                                "again.%6")
                                     .arg(tooLong.join(QStringLiteral(", ")), QLatin1String(several ? "are" : "is"),
                                          QString::number(limit), QLatin1String(several ? "they were" : "it was"),
                                          shown, QLatin1String(restSaved ? " Everything else was saved." : ""))};
    };
    if (fitting.isEmpty() && !tooLong.isEmpty())
        return tooLongResult(false);
    if (!QDir().mkpath(directory_))
        return failure(QStringLiteral("the folder \"%1\" could not be created.").arg(QDir::toNativeSeparators(directory_)));

    QByteArray content;
    QFile existing(path);
    // A link to a file not there yet reads as missing; the save creates the file it names.
    if (const QFileInfo info(path); info.exists()) {
        if (!info.isFile())
            return failure(QStringLiteral("it is not a plain file; it was left as it is."));
        // Never replace a file whose content we could not read: its other keys would be lost.
        if (!existing.open(QIODevice::ReadOnly))
            return failure(existing.errorString());
        content = existing.read(kMaxFileBytes + 1);
        if (existing.error() != QFileDevice::NoError)
            return failure(existing.errorString()); // a bad sector: what was read is not all of it
        existing.close();
        if (content.size() > kMaxFileBytes)
            return failure(QStringLiteral("the file is larger than %1 MB, too large to be a settings file; it was "
                                          "left as it is. Move it aside to save the settings again.")
                               .arg(kMaxFileBytes / (1024 * 1024)));
    }

    // The file keeps its encoding; when a new value has no place in it (a code-page file),
    // the whole file becomes UTF-8 rather than lose a character or mix two encodings.
    // A file of both UTF-8 and code-page characters has no one encoding to keep: only the
    // lines written change (to UTF-8), every other byte stays as it was.
    const FileEncoding encoding = detectEncoding(content);
    QByteArray updated;
    if (encoding == FileEncoding::Mixed) {
        updated = applyWrites(content, QString::fromLatin1(kSettingsSection), fitting);
    } else {
        const QByteArray updatedUtf8 =
            applyWrites(toUtf8(content, encoding), QString::fromLatin1(kSettingsSection), fitting);
        updated = fromUtf8(updatedUtf8, encoding).value_or(updatedUtf8);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(writeErrorText(file, directory_));
    // flush() first: commit() reports success even when its own last flush failed (a full
    // disk), and would put a cut file in place of the old one.
    if (file.write(updated) != updated.size() || !file.flush()) {
        const QString reason = writeErrorText(file, directory_);
        file.cancelWriting();
        return failure(reason);
    }
    if (!file.commit())
        return failure(writeErrorText(file, directory_));
    if (!tooLong.isEmpty())
        return tooLongResult(true);
    return {};
}

QStringList ProfileStore::accessProblems() const
{
    const QString shownDir = QDir::toNativeSeparators(directory_);
    const QFileInfo folder(directory_);
    if (!folder.isDir())
        return {QStringLiteral("The settings folder \"%1\" does not exist and could not be created: the defaults "
                               "are shown and no setting can be saved.")
                    .arg(shownDir)};
    QStringList problems;
    const QDir dir(directory_);
#ifndef Q_OS_WIN
    // Windows marks folders read-only without meaning it: there a save says what is wrong.
    if (!folder.isReadable() || !folder.isExecutable())
        problems << QStringLiteral("The settings folder \"%1\" cannot be read: the defaults are shown.").arg(shownDir);
    else if (!folder.isWritable())
        problems << QStringLiteral("The settings folder \"%1\" cannot be written: no setting can be saved.").arg(shownDir);
#endif
    const QStringList names = dir.entryList({QStringLiteral("*.ini")},
                                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        if (info.isSymLink() && !info.exists())
            continue; // a link to a file not there yet: the first save makes it
        QString reason;
        if (!info.isFile()) {
            reason = QStringLiteral("it is not a plain file.");
        } else {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                reason = file.errorString();
        }
        if (!reason.isEmpty())
            problems << QStringLiteral("Could not read the settings file \"%1\": %2 Its settings show their defaults; "
                                       "the file was left as it is.")
                            .arg(QDir::toNativeSeparators(path), reason.endsWith(u'.') ? reason : reason + u'.');
        else if (!info.isWritable())
            problems << QStringLiteral("The settings file \"%1\" is read-only: changes to its settings cannot be saved.")
                            .arg(QDir::toNativeSeparators(path));
    }
    return problems;
}

QString ProfileStore::defaultDirectory()
{
    const QString fromEnv = qEnvironmentVariable(kConfigDirVariable);
    if (!fromEnv.isEmpty())
        return fromEnv;
#ifdef Q_OS_WIN
    // %APPDATA%\Tavrin, where Windows keeps a user's program settings (and a roaming profile
    // takes them along); Qt's generic configuration location there is the local folder.
    // Settings an earlier build left in the local folder are used until the roaming one exists.
    const QString local = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/'
        + QLatin1String(kConfigSubdir);
    const QString appData = qEnvironmentVariable("APPDATA");
    if (appData.isEmpty())
        return local;
    const QString roaming = QDir::fromNativeSeparators(appData) + QLatin1String("/Tavrin");
    return !QFileInfo::exists(roaming) && QFileInfo(local).isDir() ? local : roaming;
#else
    // A relative $XDG_CONFIG_HOME is no location at all (it would name another folder from
    // every working directory, and the settings would seem lost): the usual one instead.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (QDir::isRelativePath(base))
        base = QDir::homePath() + QLatin1String("/.config");
    return base + u'/' + QLatin1String(kConfigSubdir);
#endif
}

QString writtenKey(const QString &readKey)
{
    static const QLatin1String readPrefix("Text");
    if (readKey.size() > readPrefix.size() && readKey.startsWith(readPrefix, Qt::CaseSensitive)
        && readKey.at(readPrefix.size()).isDigit())
        return QStringLiteral("TEXT") + readKey.mid(readPrefix.size());
    return readKey;
}

QStringList writtenKeys(const QStringList &readKeys)
{
    QStringList keys;
    keys.reserve(readKeys.size());
    for (const QString &key : readKeys)
        keys << writtenKey(key);
    return keys;
}

} // namespace tavrin
