#pragma once
// An image control: holds a picture and paints it at its top-left corner, unscaled. Transparent
// pixels show the parent's background.

#include "platform/Picture.h"

#include <QWidget>

class TImage : public QWidget {
public:
  explicit TImage(QWidget* Parent = nullptr);

  TPicture Picture;

protected:
  void paintEvent(QPaintEvent* Event) override;
};
