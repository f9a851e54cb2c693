// An information window built from its plain description.
#pragma once

#include <QDialog>

#include "shell/modal_window.h"

namespace vorpane {

class InfoDialog final : public QDialog {
 public:
  InfoDialog(const ModalWindow& layout, QWidget* owner);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace vorpane
