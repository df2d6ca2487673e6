#pragma once

#include "store/SmileStore.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <vector>

// What the markup benchmarks convert: a 500-smiley catalogue and realistic
// bodies of any length.
namespace orv::bench {

using namespace Qt::StringLiterals;

inline std::vector<orv::Smiley> catalogue() {
    std::vector<orv::Smiley> smileys = {{u":)"_s, u"http://k/s/1.gif"_s},
                                        {u":("_s, u"http://k/s/2.gif"_s},
                                        {u";)"_s, u"http://k/s/3.gif"_s},
                                        {u":D"_s, u"http://k/s/4.gif"_s}};
    for (int i = int(smileys.size()); i < 500; ++i) {
        smileys.push_back({u":smile"_s + QString::number(i) + u':',
                           u"http://k/s/"_s + QString::number(i) + u".gif"_s});
    }
    return smileys;
}

// Cyrillic prose with the service's markup, entities, quotes, links and smileys.
inline QString body(qsizetype length) {
    static const QStringList pieces = {
        u"Сегодня с утра шёл снег, а к обеду всё растаяло. "_s,
        u"&laquo;Мастер и Маргарита&raquo; &mdash; снова перечитываю. "_s,
        u"[b]Важно:[/b] встречаемся в 12:00 у метро :) "_s,
        u"Вот [url=http://kordenet.ru/recipes/42]рецепт[/url], а вот [url]http://kordenet.ru/p[/url]. "_s,
        u"[QUOTE]Никогда ничего не просите![/QUOTE]\n"_s,
        u"[color=red]Не забудьте[/color] поздравить Машу :smile17: ;)\n"_s,
        u"[i]Кто бы мог подумать[/i], что это так просто &quot;работает&quot;. "_s,
        u"[user=snegir] и [user=Ёжик] согласны :D\n"_s,
    };
    QRandomGenerator random(7);
    QString text;
    while (text.size() < length) {
        text += pieces[int(random.bounded(pieces.size()))];
    }
    text.truncate(length);
    return text;
}

} // namespace orv::bench
