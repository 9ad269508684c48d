// The plot window: the picture of the forebay level and its "清除" and
// "关闭" buttons. Closing it with the close box destroys it.
#pragma once

#include <QPushButton>
#include <QWidget>

#include "ui/picture.h"

namespace kelvane::ui {

// Shows a PlotPicture; what is drawn stays until it is wiped.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  const PlotPicture& Picture() const { return picture_; }
  void SetPicture(const PlotPicture& picture);
  void Clear();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PlotPicture picture_;
};

class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlotWindow(QWidget* parent = nullptr);

  PictureBox* Picture1() const { return picture1_; }

 public slots:
  void clearPlot();  // "清除"
  void closePlot();  // "关闭"

 private:
  PictureBox* picture1_;
  QPushButton* command1_;
  QPushButton* command2_;
};

}  // namespace kelvane::ui
