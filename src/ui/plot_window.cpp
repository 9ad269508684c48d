#include "ui/plot_window.h"

#include <QPaintEvent>
#include <QPainter>

#include "ui/twips.h"

namespace kelvane::ui {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // First in the tab order: the window opens with the focus on the picture,
  // not on "清除", so a stray space bar wipes nothing.
  setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::SetPicture(const PlotPicture& picture) {
  picture_ = picture;
  update();
}

void PictureBox::Clear() {
  picture_.Clear();
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawImage(event->rect(), picture_.Image(), event->rect());
}

PlotWindow::PlotWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(tr("前池水位变化线"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(Px(10725), Px(5070));

  picture1_ = new PictureBox(this);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  picture1_->setGeometry(Px(120), Px(120), Px(9675), Px(4455));

  command1_ = new QPushButton(tr("清除"), this);
  command1_->setObjectName(QStringLiteral("Command1"));
  command1_->setGeometry(Px(2880), Px(4560), Px(1935), Px(375));
  command2_ = new QPushButton(tr("关闭"), this);
  command2_->setObjectName(QStringLiteral("Command2"));
  command2_->setGeometry(Px(5640), Px(4560), Px(1935), Px(375));
  setTabOrder(picture1_, command1_);
  setTabOrder(command1_, command2_);
  picture1_->setFocus();

  connect(command1_, &QPushButton::clicked, this, &PlotWindow::clearPlot);
  connect(command2_, &QPushButton::clicked, this, &PlotWindow::closePlot);
}

void PlotWindow::clearPlot() { picture1_->Clear(); }

void PlotWindow::closePlot() { hide(); }

}  // namespace kelvane::ui
