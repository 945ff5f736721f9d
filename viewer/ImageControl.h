#pragma once
// An image control: holds a picture and paints it at its top-left corner, unscaled, or with Stretch
// and Proportional as large as fits the control with its aspect ratio kept. Transparent pixels show
// the parent's background.

#include "platform/Picture.h"

#include <QWidget>

class TImage : public QWidget {
public:
  explicit TImage(QWidget* Parent = nullptr);

  TPicture Picture;
  bool Stretch = false;
  bool Proportional = false;

protected:
  void paintEvent(QPaintEvent* Event) override;
};
