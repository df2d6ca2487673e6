// The answer parser and the decoders: pure functions from an answer's text to
// typed rows and questions, with no store, file or network involved.
#include "ScriptedPrompts.h"
#include "TestData.h"
#include "app/OrvError.h"
#include "decode/CommentsDecoder.h"
#include "decode/IdListDecoder.h"
#include "decode/PostsDecoder.h"
#include "decode/PrivatesDecoder.h"
#include "decode/RelationsDecoder.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kHead = u"<?xml version='1.0' encoding='windows-1251'?><results>"_s;

// What the decoder made of the document, a line a row.
QStringList decoded(const QString& decoder, const ResultDocument& document,
                    test::ScriptedPrompts& prompts) {
    QStringList rows;
    const auto row = [&](const QStringList& cells) { rows.append(cells.join(u'|')); };
    if (decoder == u"posts"_s) {
        for (const auto& p : DecodePosts(document)) {
            row({u"post"_s, p.postId, p.userName, p.date, p.header, p.message, p.journalId});
        }
    } else if (decoder == u"comments"_s) {
        for (const auto& c : DecodeComments(document, prompts)) {
            row({u"comment"_s, c.commentId, c.postId, c.userName, c.date, c.header, c.message,
                 c.journalId});
        }
    } else if (decoder == u"privates"_s) {
        const DecodedPrivates privates = DecodePrivates(document, prompts);
        for (const auto& m : privates.messages) {
            row({u"private"_s, m.userName, m.date, m.message});
        }
        for (const QString& line : privates.statusLines) {
            row({u"status"_s, line});
        }
    } else if (decoder == u"relations"_s) {
        const auto relations = DecodeRel(document, prompts);
        if (!relations || relations->empty()) {
            rows.append(relations ? u"nobody"_s : u"kept"_s);
        }
        for (const Relation& r : relations.value_or(std::vector<Relation>{})) {
            row({u"relation"_s, r.nick, r.status});
        }
    } else if (decoder == u"ids"_s) {
        const IdList list = DecodeIdList(document);
        row({u"ids"_s, list.stackType, list.ids.join(u' '), list.checkTimeKey, list.checkTime});
    } else {
        for (const XmlElement* result : document.results()) {
            row({u"result"_s, result->attribute(u"QID"_s), result->attribute(u"ERROR"_s)});
        }
    }
    return rows;
}

} // namespace

class DecodersTest : public QObject {
    Q_OBJECT

private slots:
    // An answer from tests/data/decode through one decoder, with the user's
    // answers to its questions; every row it gives and question it asks.
    void answers_data() {
        test::addRows(u"decode/cases.tsv"_s, {"answer", "decoder", "replies", "expected"});
    }

    void answers() {
        const auto [answer, decoder, replies, expected] =
            test::cells({"answer", "decoder", "replies", "expected"});
        test::ScriptedPrompts prompts;
        for (const QChar reply : replies) {
            prompts.answers.append(reply == u'y');
        }
        QStringList got;
        const auto document =
            ResultDocument::parse(test::dataText(u"decode/"_s + answer + u".xml"_s));
        try {
            got = document ? decoded(decoder, *document, prompts) : QStringList{u"broken"_s};
        } catch (const OrvError&) {
            got = {u"error"_s};
        }
        for (const QString& question : prompts.questions) {
            got.append(u"asked|"_s +
                       QString(question).replace(u"\r"_s, u"\\r"_s).replace(u"\n"_s, u"\\n"_s));
        }
        QCOMPARE(got, test::dataLines(u"decode/"_s + expected + u".txt"_s));
    }

    void limitsKeepHostileAnswersCheap() {
        // A million nested elements used to take the parser minutes; now the
        // nesting limit ends the reading at once.
        const int depth = 1'000'000;
        QVERIFY(
            !ResultDocument::parse(kHead + u"<a>"_s.repeated(depth) + u"</a>"_s.repeated(depth)));
        QVERIFY(!ResultDocument::parse(kHead + QString(ResultDocument::MaxAnswerSize, u'x')));
        const auto nested = [](int levels) -> QString {
            return kHead + u"<a>"_s.repeated(levels) + u"</a>"_s.repeated(levels) + u"</results>"_s;
        };
        QVERIFY(!ResultDocument::parse(nested(ResultDocument::MaxDepth)));
        QVERIFY(ResultDocument::parse(nested(ResultDocument::MaxDepth - 2))); // just inside

        // Entities that multiply themselves are refused; a file named as one is never read.
        QString entities = u"<!ENTITY e0 \"ha\">"_s;
        for (int level = 1; level < 10; ++level) {
            entities +=
                u"<!ENTITY e%1 \"%2\">"_s.arg(level).arg(u"&e%1;"_s.arg(level - 1).repeated(10));
        }
        const auto withEntities = [](const QString& declared, const QString& used) -> QString {
            return u"<?xml version='1.0'?><!DOCTYPE results ["_s + declared +
                   u"]><results><RESULT QID='1' ERROR='0'>"_s + used + u"</RESULT></results>"_s;
        };
        QVERIFY(!ResultDocument::parse(withEntities(entities, u"&e9;"_s)));
        const auto outside = ResultDocument::parse(
            withEntities(u"<!ENTITY f SYSTEM \"file:///etc/passwd\">"_s, u"[&f;]"_s));
        QVERIFY(outside);
        QCOMPARE(outside->results().front()->text(), u"[]"_s);
    }
};

QTEST_GUILESS_MAIN(DecodersTest)
#include "tst_decoders.moc"
