// The row of command buttons that ends a dialog, pushed to the right.
#pragma once

#include <QHBoxLayout>
#include <QPushButton>
#include <initializer_list>

namespace glim {

inline QHBoxLayout* rightAlignedButtons(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* button : buttons) row->addWidget(button);
  return row;
}

}  // namespace glim
