// libFuzzer target for the settings file's parser and editor.
//
// The input is split in two: a file (from the front) and a short list of edits
// (from the back). The file is either the bytes as they come or, now and then,
// one put together line by line as a person or the Windows program would
// write it: each line UTF-8 or Windows-1251, names and words padded with
// blanks. Beyond "no crash", it checks what the rest of the program relies on:
// - a valid UTF-8 file is written back byte for byte; in any file each line of
//   valid UTF-8 is written back as it was and every other line as its
//   Windows-1251 text; any file reads back the same after being written (as
//   UTF-8) and parsed again;
// - a file put together reads as its author meant: names and keys without
//   the blanks around them, values exactly, found under padded names too;
// - sections and keys are listed once each, and every listed one is found;
// - after an edit, exactly the edited value or section changed, everything
//   else reads as before, and so it does after a write and a fresh parse.
#include "store/inidocument.h"

#include <QString>
#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace {

struct Section {
    QString name;
    std::vector<std::pair<QString, QString>> values;
};
using Model = std::vector<Section>;

// What was being done, printed when an invariant breaks.
QByteArray g_trace;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what,
                 g_trace.toPercentEncoding(" []=;#").constData());
    std::abort();
}

void trace(const char* op, const QString& a = {}, const QString& b = {}, const QString& c = {}) {
    g_trace +=
        QByteArray("\n") + op + " |" + a.toUtf8() + "|" + b.toUtf8() + "|" + c.toUtf8() + "|";
}

void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString trimBlanks(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

// Everything the document says, read through its public operations, with the
// consistency checks of listing against lookup.
Model modelOf(const IniDocument& doc) {
    Model model;
    const QStringList sections = doc.sections();
    for (qsizetype i = 0; i < sections.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j)
            check(!same(sections[i], sections[j]), "a section listed twice");
        Section s{sections[i], {}};
        const QStringList keys = doc.keys(sections[i]);
        for (qsizetype k = 0; k < keys.size(); ++k) {
            for (qsizetype j = 0; j < k; ++j)
                check(!same(keys[k], keys[j]), "a key listed twice");
            const std::optional<QString> v = doc.value(sections[i], keys[k]);
            check(v.has_value(), "a listed key is not found");
            // Also under another spelling of the same names (where changing the
            // case keeps them the same name: "ß" becomes "SS").
            const QString upper = sections[i].toUpper();
            const QString lower = keys[k].toLower();
            if (same(upper, sections[i]) && same(lower, keys[k]))
                check(doc.value(upper, lower) == v, "lookup depends on letter case");
            s.values.emplace_back(keys[k], *v);
        }
        model.push_back(std::move(s));
    }
    return model;
}

bool sameModel(const Model& a, const Model& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].values != b[i].values)
            return false;
    }
    return true;
}

Section* findSection(Model& m, const QString& name) {
    for (Section& s : m) {
        if (same(s.name, name))
            return &s;
    }
    return nullptr;
}

QString consumeText(FuzzedDataProvider& fdp, size_t maxBytes) {
    const int mode = fdp.ConsumeIntegralInRange(0, 3);
    const std::string bytes = fdp.ConsumeRandomLengthString(maxBytes);
    switch (mode) {
    case 0:
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    case 1: { // raw UTF-16, lone surrogates and all
        QString s;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            s += QChar(char16_t(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8));
        return s;
    }
    default:
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
}

// A name to edit: often one already there, in another letter case or with
// blanks around it.
QString pickName(FuzzedDataProvider& fdp, const QStringList& existing) {
    if (!existing.isEmpty() && fdp.ConsumeBool()) {
        QString name = existing[fdp.ConsumeIntegralInRange<qsizetype>(0, existing.size() - 1)];
        if (fdp.ConsumeBool())
            name = name.toUpper();
        if (fdp.ConsumeBool())
            name = QStringLiteral(" \t").left(fdp.ConsumeIntegralInRange(0, 2)) + name +
                   QStringLiteral("\t ").left(fdp.ConsumeIntegralInRange(0, 2));
        return name;
    }
    return consumeText(fdp, 24);
}

void traceModel(const char* title, const Model& m) {
    g_trace += QByteArray("\n") + title + ":";
    for (const Section& s : m) {
        g_trace += "\n  [" + s.name.toUtf8() + "]";
        for (const auto& [k, v] : s.values)
            g_trace += "\n    " + k.toUtf8() + " = " + v.toUtf8();
    }
}

void checkPersisted(const IniDocument& doc, const Model& expected) {
    const Model now = modelOf(doc);
    if (!sameModel(now, expected)) {
        traceModel("expected", expected);
        traceModel("got", now);
        fail("the edit changed the wrong values");
    }
    const Model again = modelOf(IniDocument::parse(doc.serialize()));
    if (!sameModel(again, expected)) {
        traceModel("expected", expected);
        traceModel("read back", again);
        fail("the written file reads back differently");
    }
}

// --- the file as its author meant it -----------------------------------------

std::optional<QString> asUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Each line (up to and with its line feed) of valid UTF-8 must be written
// back as it was; any other line as its Windows-1251 text, here decoded by
// the system's own converter rather than the parser's table.
void checkLineByLine(const QByteArray& file, const QByteArray& written) {
    static const char kBom[] = "\xEF\xBB\xBF";
    QByteArrayView in(file);
    QByteArrayView out(written);
    if (in.startsWith(QByteArrayView(kBom, 3))) {
        check(out.startsWith(QByteArrayView(kBom, 3)), "the byte-order mark was lost");
        in = in.sliced(3);
        out = out.sliced(3);
    }
    QStringDecoder cp1251("windows-1251", QStringConverter::Flag::Stateless);
    if (!cp1251.isValid())
        return; // a Qt without ICU has no such converter
    QByteArray expected;
    qsizetype start = 0;
    while (start < in.size()) {
        qsizetype nl = in.indexOf('\n', start);
        nl = nl < 0 ? in.size() : nl + 1;
        const QByteArrayView line = in.sliced(start, nl - start);
        if (asUtf8(line))
            expected += line.toByteArray();
        else
            expected += QString(cp1251.decode(line)).toUtf8();
        start = nl;
    }
    check(out == expected, "a line was not read in its own encoding");
}

// The few characters the generated files are made of, with their
// Windows-1251 bytes: enough for the parser's every case.
const QString kWordChars = QStringLiteral("aZ09_-./:"
                                          "АБВЖЁЯабвжёяЪъ№"
                                          " ");
const QString kValueChars = kWordChars + QStringLiteral("=[];#\"'\t");

QByteArray toCp1251(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            out += char(u);
        else if (u >= 0x0410 && u <= 0x044F)
            out += char(0xC0 + (u - 0x0410));
        else if (u == 0x0401)
            out += char(0xA8);
        else if (u == 0x0451)
            out += char(0xB8);
        else if (u == 0x2116)
            out += char(0xB9);
        else
            out += '?';
    }
    return out;
}

QString consumeFrom(FuzzedDataProvider& fdp, const QString& chars, int maxLen) {
    QString s;
    const int n = fdp.ConsumeIntegralInRange(0, maxLen);
    for (int i = 0; i < n && fdp.remaining_bytes() > 0; ++i)
        s += chars[fdp.ConsumeIntegralInRange<qsizetype>(0, chars.size() - 1)];
    return s;
}

QString consumeBlanks(FuzzedDataProvider& fdp) {
    return consumeFrom(fdp, QStringLiteral(" \t"), 2);
}

// A name or key that is not blank and cannot open a header or a comment.
QString consumeWord(FuzzedDataProvider& fdp) {
    QString w = consumeFrom(fdp, kWordChars, 8);
    w.prepend(kWordChars[fdp.ConsumeIntegralInRange<qsizetype>(0, kWordChars.size() - 2)]);
    return w;
}

// A file put together line by line, with what it means.
std::pair<QByteArray, Model> consumeTypedFile(FuzzedDataProvider& fdp) {
    QByteArray bytes;
    if (fdp.ConsumeIntegralInRange(0, 3) == 0)
        bytes = "\xEF\xBB\xBF";
    Model model;
    // Keys go to the first section of a name; those of a later one of the
    // same name are not read.
    std::optional<size_t> current;
    const int lines = fdp.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < lines && fdp.remaining_bytes() > 0; ++i) {
        QString line;
        switch (fdp.ConsumeIntegralInRange(0, 5)) {
        case 0: {
            const QString name = consumeWord(fdp);
            line = consumeBlanks(fdp) + u'[' + consumeBlanks(fdp) + name + consumeBlanks(fdp) +
                   u']' + consumeBlanks(fdp);
            const QString read = trimBlanks(name);
            current.reset();
            if (findSection(model, read) == nullptr) {
                model.push_back(Section{read, {}});
                current = model.size() - 1;
            }
            break;
        }
        case 1:
        case 2:
        case 3: {
            const QString key = consumeWord(fdp);
            const QString value = consumeFrom(fdp, kValueChars, 12);
            line = consumeBlanks(fdp) + key + consumeBlanks(fdp) + u'=' + value;
            const QString read = trimBlanks(key);
            if (!current)
                break;
            auto& values = model[*current].values;
            if (std::none_of(values.begin(), values.end(),
                             [&](const auto& kv) { return same(kv.first, read); }))
                values.emplace_back(read, value);
            break;
        }
        case 4:
            line = consumeBlanks(fdp) + (fdp.ConsumeBool() ? u';' : u'#') +
                   consumeFrom(fdp, kValueChars, 12);
            break;
        default:
            line = consumeBlanks(fdp);
            break;
        }
        // Windows-1251 only where it cannot pass for UTF-8: a line that does
        // is UTF-8 to the parser, and so to its author.
        QByteArray encoded = fdp.ConsumeBool() ? toCp1251(line) : line.toUtf8();
        if (asUtf8(encoded))
            encoded = line.toUtf8();
        bytes += encoded;
        const bool last = i + 1 == lines || fdp.remaining_bytes() == 0;
        if (!last || fdp.ConsumeBool())
            bytes += fdp.ConsumeBool() ? "\r\n" : fdp.ConsumeBool() ? "\n" : "\r";
    }
    return {bytes, model};
}

void checkTyped(const IniDocument& doc, const Model& meant) {
    const Model read = modelOf(doc);
    if (!sameModel(read, meant)) {
        traceModel("meant", meant);
        traceModel("read", read);
        fail("a typed file reads differently from what its author meant");
    }
    // Found under the names as a person may pad them.
    for (const Section& s : meant) {
        const QString section = QStringLiteral(" \t") + s.name + u' ';
        for (const auto& [k, v] : s.values) {
            const QString key = u'\t' + k + QStringLiteral("  ");
            check(doc.value(section, key) == v, "a padded name is not found");
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    QByteArray file;
    std::optional<Model> meant;
    if (fdp.ConsumeIntegralInRange(0, 3) == 0) {
        auto [bytes, model] = consumeTypedFile(fdp);
        file = std::move(bytes);
        meant = std::move(model);
    } else {
        const size_t fileSize = fdp.ConsumeIntegralInRange<size_t>(0, fdp.remaining_bytes());
        const std::vector<char> fileBytes = fdp.ConsumeBytes<char>(fileSize);
        file = QByteArray(fileBytes.data(), qsizetype(fileBytes.size()));
    }

    g_trace = "file: " + file;
    IniDocument doc = IniDocument::parse(file);
    const QByteArray written = doc.serialize();
    if (doc.readAsUtf8())
        check(written == file, "a UTF-8 file is not written back unchanged");
    checkLineByLine(file, written);
    if (meant)
        checkTyped(doc, *meant);
    Model model = modelOf(doc);
    const IniDocument reread = IniDocument::parse(written);
    check(reread.readAsUtf8(), "the written file is not UTF-8");
    check(reread.serialize() == written, "writing is not stable");
    check(sameModel(modelOf(reread), model), "the written file reads back differently");

    for (int op = 0; op < 8 && fdp.remaining_bytes() > 0; ++op) {
        const QStringList sections = doc.sections();
        const QString section = pickName(fdp, sections);
        const QString storedSection = IniDocument::sectionName(section);
        switch (fdp.ConsumeIntegralInRange(0, 3)) {
        case 0:
        case 1: {
            const QString key = pickName(fdp, doc.keys(section));
            const QString value = consumeText(fdp, 64);
            const QByteArray before = doc.serialize();
            trace("set", section, key, value);
            if (!doc.setValue(section, key, value)) {
                check(!IniDocument::isStorableKey(key), "a storable key was refused");
                check(doc.serialize() == before, "a refused write changed the file");
                break;
            }
            check(IniDocument::isStorableKey(key), "an unstorable key was written");
            const QString stored = IniDocument::storableValue(value);
            check(!stored.contains(u'\n') && !stored.contains(u'\r'), "a line break was stored");
            const bool plain = !value.contains(u'\n') && !value.contains(u'\r') &&
                               QString::fromUtf8(value.toUtf8()) == value;
            check(!plain || stored == value, "a plain value was altered");
            check(doc.value(section, key) == stored, "a written value does not read back");
            const QString k = trimBlanks(key);
            if (Section* s = findSection(model, storedSection)) {
                bool replaced = false;
                for (auto& [name, v] : s->values) {
                    if (same(name, k)) {
                        v = stored;
                        replaced = true;
                        break;
                    }
                }
                if (!replaced)
                    s->values.emplace_back(k, stored);
            } else {
                model.push_back(Section{storedSection, {{k, stored}}});
            }
            break;
        }
        case 2: {
            const bool existed = findSection(model, storedSection) != nullptr;
            trace("erase", section);
            check(doc.eraseSection(section) == existed, "erase reports wrongly");
            std::erase_if(model, [&](const Section& s) { return same(s.name, storedSection); });
            break;
        }
        default: {
            const QString key = pickName(fdp, doc.keys(section));
            const QString k = trimBlanks(key);
            trace("delete", section, key);
            bool existed = false;
            if (Section* s = findSection(model, storedSection)) {
                existed =
                    std::erase_if(s->values, [&](const auto& kv) { return same(kv.first, k); }) > 0;
            }
            check(doc.deleteKey(section, key) == existed, "delete reports wrongly");
            check(!doc.value(section, key).has_value(), "a deleted key still reads");
            break;
        }
        }
        g_trace += "\nnow: " + doc.serialize();
        checkPersisted(doc, model);
    }
    return 0;
}
