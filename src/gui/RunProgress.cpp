#include "RunProgress.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

constexpr int kMinimumWidth = 160;
// Room beside the text for the bar's frame and the style's chunk margins.
constexpr int kTextMargin = 48;

} // namespace

RunProgress::RunProgress(QWidget* parent)
    : QWidget(parent)
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(u"Прервать"_s, this)) {
    setObjectName(u"RunProgress"_s);
    m_bar->setObjectName(u"RunProgressBar"_s);
    m_bar->setMinimumWidth(kMinimumWidth);
    m_bar->setFormat(u"%v из %m"_s);
    m_cancel->setObjectName(u"RunCancel"_s);
    m_cancel->setToolTip(u"Остановить обмен после текущего запроса; остальное будет получено "
                         u"или отправлено при следующем обмене"_s);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        emit cancelRequested();
    });
    hide();
}

void RunProgress::start() {
    setProgress(0, 0);
    m_cancel->setEnabled(true);
    show();
}

void RunProgress::setProgress(int done, int total) {
    if (total <= 0) {
        m_bar->setRange(0, 0); // busy, no figures yet
        return;
    }
    m_bar->setRange(0, total);
    m_bar->setValue(std::clamp(done, 0, total));
    // Wide enough for the longest text of this total, so none is cut.
    const QString widest = m_bar->format()
                               .replace(u"%v"_s, QString::number(total))
                               .replace(u"%m"_s, QString::number(total));
    const int needed = m_bar->fontMetrics().horizontalAdvance(widest) + kTextMargin;
    m_bar->setMinimumWidth(std::max(kMinimumWidth, needed));
}

void RunProgress::finish() {
    hide();
}

} // namespace orv
