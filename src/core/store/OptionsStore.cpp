#include "OptionsStore.h"

#include <QSettings>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kGroup = u"options"_s;

// The leading number of the text, as a BASIC Val reads it: blanks skipped, text
// without a number reads as 0.
double leadingNumber(const QString& text) {
    QString digits;
    bool seenPoint = false;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t') {
            continue;
        }
        if ((c == u'-' || c == u'+') && digits.isEmpty()) {
            digits += c;
        } else if (c.isDigit()) {
            digits += c;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
            digits += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok ? value : 0.0;
}

// A check box's value: the stored number rounded to a 16-bit integer, non-zero
// meaning ticked. A number out of range keeps the default.
bool readCheck(const QSettings& store, const QString& key, bool fallback) {
    if (!store.contains(key)) {
        return fallback;
    }
    const double rounded = std::nearbyint(leadingNumber(store.value(key).toString()));
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max()) {
        return fallback;
    }
    return rounded != 0.0;
}

// An option button's value: "True"/"False" or a number; anything else keeps the default.
bool readTruth(const QSettings& store, const QString& key, bool fallback) {
    const QString text = store.value(key).toString().trimmed();
    if (text.compare(u"True"_s, Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(u"False"_s, Qt::CaseInsensitive) == 0) {
        return false;
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? number != 0.0 : fallback;
}

QString readText(const QSettings& store, const QString& key, const QString& fallback) {
    return store.contains(key) ? store.value(key).toString() : fallback;
}

QString checkForm(bool value) {
    return value ? u"1"_s : u"0"_s;
}

QString truthForm(bool value) {
    return value ? u"True"_s : u"False"_s;
}

} // namespace

OptionsStore::OptionsStore(QSettings& store)
    : m_store(store) {}

Options OptionsStore::LoadOptions() const {
    const Options defaults;
    Options o;
    m_store.beginGroup(kGroup);
    o.check_update = readCheck(m_store, u"check_update"_s, defaults.check_update);
    o.check_post = readCheck(m_store, u"check_post"_s, defaults.check_post);
    o.check_comment = readCheck(m_store, u"check_comment"_s, defaults.check_comment);
    o.check_privat = readCheck(m_store, u"check_privat"_s, defaults.check_privat);
    o.check_friends = readCheck(m_store, u"check_friends"_s, defaults.check_friends);
    o.time_update = readText(m_store, u"time_update"_s, defaults.time_update);
    o.show_notifications = readCheck(m_store, u"show_notifications"_s, defaults.show_notifications);
    o.StartMinimized = readCheck(m_store, u"StartMinimized"_s, defaults.StartMinimized);
    o.comment_type = readText(m_store, u"comment_type"_s, defaults.comment_type);
    o.veiw_setcomm = readCheck(m_store, u"veiw_setcomm"_s, defaults.veiw_setcomm);
    o.spell_check = readCheck(m_store, u"spell_check"_s, defaults.spell_check);
    if (const int zoom = int(leadingNumber(readText(m_store, u"view_zoom"_s, {}))); zoom > 0) {
        o.view_zoom = std::clamp(zoom, Options::MinZoom, Options::MaxZoom);
    }
    o.text_music = readText(m_store, u"text_music"_s, defaults.text_music);
    o.combo_music = readText(m_store, u"combo_music"_s, defaults.combo_music);
    o.text_nastroy = readText(m_store, u"text_nastroy"_s, defaults.text_nastroy);
    o.combo_nastroy = readText(m_store, u"combo_nastroy"_s, defaults.combo_nastroy);
    o.OptMusUp = readTruth(m_store, u"OptMusUp"_s, defaults.OptMusUp);
    o.OptMusDown = readTruth(m_store, u"OptMusDown"_s, defaults.OptMusDown);
    o.OptNastUp = readTruth(m_store, u"OptNastUp"_s, defaults.OptNastUp);
    o.OptNastDown = readTruth(m_store, u"OptNastDown"_s, defaults.OptNastDown);
    m_store.endGroup();
    return o;
}

void OptionsStore::save(const Options& o) {
    m_store.beginGroup(kGroup);
    m_store.setValue(u"check_update"_s, checkForm(o.check_update));
    m_store.setValue(u"check_post"_s, checkForm(o.check_post));
    m_store.setValue(u"check_comment"_s, checkForm(o.check_comment));
    m_store.setValue(u"check_privat"_s, checkForm(o.check_privat));
    m_store.setValue(u"check_friends"_s, checkForm(o.check_friends));
    m_store.setValue(u"time_update"_s, o.time_update);
    m_store.setValue(u"show_notifications"_s, checkForm(o.show_notifications));
    m_store.setValue(u"StartMinimized"_s, checkForm(o.StartMinimized));
    m_store.setValue(u"comment_type"_s, o.comment_type);
    m_store.setValue(u"veiw_setcomm"_s, checkForm(o.veiw_setcomm));
    m_store.setValue(u"spell_check"_s, checkForm(o.spell_check));
    m_store.setValue(u"view_zoom"_s, QString::number(o.view_zoom));
    m_store.setValue(u"text_music"_s, o.text_music);
    m_store.setValue(u"combo_music"_s, o.combo_music);
    m_store.setValue(u"text_nastroy"_s, o.text_nastroy);
    m_store.setValue(u"combo_nastroy"_s, o.combo_nastroy);
    m_store.setValue(u"OptMusUp"_s, truthForm(o.OptMusUp));
    m_store.setValue(u"OptMusDown"_s, truthForm(o.OptMusDown));
    m_store.setValue(u"OptNastUp"_s, truthForm(o.OptNastUp));
    m_store.setValue(u"OptNastDown"_s, truthForm(o.OptNastDown));
    m_store.endGroup();
    m_store.sync();
}

} // namespace orv
