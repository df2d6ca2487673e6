#include "RunProgress.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace orv {

RunProgress::RunProgress(QWidget* parent)
    : QWidget(parent)
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(u"Прервать"_s, this)) {
    setObjectName(u"RunProgress"_s);
    m_bar->setObjectName(u"RunProgressBar"_s);
    m_bar->setMinimumWidth(160);
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
}

void RunProgress::finish() {
    hide();
}

} // namespace orv
