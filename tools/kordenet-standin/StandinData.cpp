#include "StandinData.h"

#include <QRandomGenerator>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace standin {
namespace {

const QStringList kNicks = {
    u"snegir"_s,        u"lisa_m"_s,     u"Ёжик"_s,    u"marta"_s, u"borodach"_s,
    u"kot_v_sapogah"_s, u"Незабудка"_s,  u"pilot"_s,   u"veter"_s, u"anka"_s,
    u"dyadya_fedor"_s,  u"Соня"_s,       u"tramvai"_s, u"gusli"_s, u"mashenka"_s,
    u"Вольдемар"_s,     u"zvezdochet"_s, u"ryba"_s,
};

const QStringList kHeaders = {
    u"Про погоду"_s,
    u"Вечер"_s,
    u"&laquo;Мастер и Маргарита&raquo; снова"_s,
    QString(),
    u"Дача, огород & всё такое"_s,
    u"Кино"_s,
    u"Немного о работе"_s,
    u"Без слов"_s,
    u"Вопрос к друзьям"_s,
    u"Поездка в Питер"_s,
};

const QStringList kSentences = {
    u"Сегодня с утра шёл снег, а к обеду уже всё растаяло."_s,
    u"Посмотрели вчера &quot;Иронию судьбы&quot; &mdash; в который раз, и опять смеялись."_s,
    u"[b]Важно:[/b] в субботу встречаемся у метро в 12:00."_s,
    u"Нашла отличный рецепт пирога, вот [url=http://kordenet.ru/recipes/42]ссылка[/url]."_s,
    u"[i]Кто бы мог подумать[/i], что это так просто :)"_s,
    u"[QUOTE]Жизнь &mdash; это то, что с тобой происходит, пока ты строишь планы.[/QUOTE]"_s,
    u"[color=red]Не забудьте[/color] поздравить Машу с днём рождения!"_s,
    u"Фотографии выложу позже, [url]http://kordenet.ru/photo/2006[/url]"_s,
    u"Устал как собака ;)"_s,
    u"Читаю сейчас книгу про Ёлки-палки и прочие &laquo;радости&raquo; жизни."_s,
    u"[size=4]Ура![/size] Отпуск через неделю."_s,
    u"Кто знает хорошего стоматолога? Спасибо заранее :("_s,
};

const QStringList kComments = {
    u"Согласен на все сто!"_s,
    u"Ну ты даёшь :)"_s,
    u"[user=snegir] и я так думаю."_s,
    u"А мне понравилось."_s,
    u"Спасибо, что написал."_s,
    u"[QUOTE]Устал как собака[/QUOTE]\nОтдыхай!"_s,
    u"Хм, не уверена..."_s,
    u"Класс! [b]Ещё[/b]"_s,
};

QString body(QRandomGenerator& random) {
    QStringList lines;
    const int count = 1 + int(random.bounded(5));
    for (int i = 0; i < count; ++i) {
        lines.append(kSentences[int(random.bounded(kSentences.size()))]);
    }
    return lines.join(u'\n');
}

} // namespace

QDateTime StandinData::now() {
    // Service time: Moscow, kept as a plain date and time.
    const QDateTime moscow = QDateTime::currentDateTimeUtc().addSecs(3 * 3600);
    return QDateTime(moscow.date(),
                     QTime(moscow.time().hour(), moscow.time().minute(), moscow.time().second()));
}

QString StandinData::formatDate(const QDateTime& date) {
    return date.toString(u"dd.MM.yyyy hh:mm:ss"_s);
}

QDateTime StandinData::parseDate(const QString& text) {
    return QDateTime::fromString(text.trimmed(), u"dd.MM.yyyy hh:mm:ss"_s);
}

int StandinData::journalOf(const QString& owner) {
    auto it = journals.find(owner);
    if (it == journals.end()) {
        it = journals.insert(owner, m_nextJournal++);
    }
    return it.value();
}

Post& StandinData::addPost(const QString& author, const QString& header, const QString& message,
                           const QDateTime& date) {
    posts.push_back({m_nextPost++, journalOf(author), author, header, message, date});
    return posts.back();
}

Comment& StandinData::addComment(int postId, const QString& author, const QString& message,
                                 const QDateTime& date) {
    const Post* post = findPost(postId);
    comments.push_back(
        {m_nextComment++, postId, post ? post->journalId : 0, author, QString(), message, date});
    return comments.back();
}

const Post* StandinData::findPost(int id) const {
    // Identifiers rise with the position, so a binary search finds them.
    const auto it = std::lower_bound(posts.begin(), posts.end(), id,
                                     [](const Post& p, int value) { return p.id < value; });
    return it != posts.end() && it->id == id ? &*it : nullptr;
}

const Comment* StandinData::findComment(int id) const {
    const auto it = std::lower_bound(comments.begin(), comments.end(), id,
                                     [](const Comment& c, int value) { return c.id < value; });
    return it != comments.end() && it->id == id ? &*it : nullptr;
}

void StandinData::seed(int postCount, quint32 randomSeed) {
    QRandomGenerator random(randomSeed);
    journalOf(user);
    const int diaryCount = std::clamp(postCount / 20, 3, 500);
    for (int i = 0; i < diaryCount; ++i) {
        const QString nick = i < kNicks.size()
                                 ? kNicks[i]
                                 : kNicks[i % kNicks.size()] + QString::number(i / kNicks.size());
        buddies.append(nick);
        journalOf(nick);
        if (i % 3 == 0) {
            readers.append(nick);
        }
    }
    readers.append(u"chitatel"_s);

    const QDateTime end = now().addSecs(-3600);
    const qint64 span = 7 * 24 * 3600;
    for (int i = 0; i < postCount; ++i) {
        const QDateTime date = end.addSecs(-span + span * i / std::max(postCount, 1));
        const QString author = i % 10 == 0 ? user : buddies[int(random.bounded(buddies.size()))];
        const Post& post =
            addPost(author, kHeaders[int(random.bounded(kHeaders.size()))], body(random), date);
        const int commentCount = int(random.bounded(21));
        for (int c = 0; c < commentCount; ++c) {
            const QString who = c % 4 == 3 ? user : buddies[int(random.bounded(buddies.size()))];
            addComment(post.id, who, kComments[int(random.bounded(kComments.size()))],
                       date.addSecs(60 * (c + 1)));
        }
    }
    std::sort(comments.begin(), comments.end(),
              [](const Comment& a, const Comment& b) { return a.id < b.id; });

    for (int i = 0; i < 5; ++i) {
        privates.push_back({user, buddies[i % buddies.size()],
                            u"Привет! Как дела? Давно не виделись, &laquo;заходи&raquo; в гости."_s,
                            end.addSecs(-3600 * i)});
    }
    const QStringList codes = {u":)"_s, u":("_s, u";)"_s, u":D"_s, u":-P"_s, u"*roza*"_s};
    for (int i = 0; i < 30; ++i) {
        const QString code = i < codes.size() ? codes[i] : u":smile"_s + QString::number(i) + u':';
        smiles.push_back(
            {i + 1, code, SelfHost + u"/smiles/"_s + QString::number(i + 1) + u".gif"_s});
    }
}

void StandinData::seedPictures(int pictureCount) {
    // Authors write the tag in every case and quoting. A picture a post while
    // there are posts enough, so that some name theirs in capitals only.
    const QStringList forms = {u"<img src=\"%1\">"_s, u"<IMG SRC='%1' alt='фото'>"_s,
                               u"<img border=0 src=%1>"_s};
    for (int i = 0; i < pictureCount && !posts.empty(); ++i) {
        Post& post = posts[size_t(i) % posts.size()];
        const QString url = SelfHost + u"/pic/"_s + QString::number(i + 1) + u".png"_s;
        post.message += u'\n' + forms[i % forms.size()].arg(url);
    }
}

void StandinData::rehost(const QString& url) {
    for (Post& post : posts) {
        post.message.replace(SelfHost, url);
    }
    for (Comment& comment : comments) {
        comment.message.replace(SelfHost, url);
    }
    for (Smile& smile : smiles) {
        smile.url.replace(SelfHost, url);
    }
}

} // namespace standin
