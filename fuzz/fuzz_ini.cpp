// libFuzzer target for the settings file's parser and editor.
//
// The input is split in two: a file's bytes (from the front) and a short list
// of edits (from the back). Beyond "no crash", it checks what the rest of the
// program relies on:
// - a valid UTF-8 file is written back byte for byte, any file reads back the
//   same after being written (as UTF-8) and parsed again;
// - sections and keys are listed once each, and every listed one is found;
// - after an edit, exactly the edited value or section changed, everything
//   else reads as before, and so it does after a write and a fresh parse.
#include "inidocument.h"

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
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

// A name to edit: often one already there, in another letter case.
QString pickName(FuzzedDataProvider& fdp, const QStringList& existing) {
    if (!existing.isEmpty() && fdp.ConsumeBool()) {
        const QString& name =
            existing[fdp.ConsumeIntegralInRange<qsizetype>(0, existing.size() - 1)];
        return fdp.ConsumeBool() ? name.toUpper() : name;
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const size_t fileSize = fdp.ConsumeIntegralInRange<size_t>(0, fdp.remaining_bytes());
    const std::vector<char> fileBytes = fdp.ConsumeBytes<char>(fileSize);
    const QByteArray file(fileBytes.data(), qsizetype(fileBytes.size()));

    g_trace = "file: " + file;
    IniDocument doc = IniDocument::parse(file);
    const QByteArray written = doc.serialize();
    if (doc.readAsUtf8())
        check(written == file, "a UTF-8 file is not written back unchanged");
    Model model = modelOf(doc);
    const IniDocument reread = IniDocument::parse(written);
    check(reread.readAsUtf8(), "the written file is not UTF-8");
    check(reread.serialize() == written, "writing is not stable");
    check(sameModel(modelOf(reread), model), "the written file reads back differently");

    for (int op = 0; op < 8 && fdp.remaining_bytes() > 0; ++op) {
        const QStringList sections = doc.sections();
        const QString section = pickName(fdp, sections);
        const QString storedSection = IniDocument::storableName(section);
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
            check(!stored.contains(u'\n') && !stored.endsWith(u'\r'), "a line break was stored");
            const bool plain = !value.contains(u'\n') && !value.endsWith(u'\r') &&
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
