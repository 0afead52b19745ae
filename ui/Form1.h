// The encoder's one window: the card fields, the reader choice and the buttons, with the
// handlers behind them. The handlers keep the reader values and the card record in CardData.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QCloseEvent;
class QLineEdit;

namespace Ui {
class Form1;
}

namespace keycard {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Reader connection (Form1.cpp).
  void Form_Load();
  void Form_Unload();
  void butOpen_Click();
  void butBeep_Click();
  void butExit_Click();
  void openProximityReader();
  void openMifareReader();
  void enableCardButtons();

  // Card handlers (CardHandlers.cpp).
  void butWr_Click();
  void butRd_Click();
  void cmdWriteData_Click();
  void showCardRecord();
  void refuseField(QLineEdit* field, const char* name, const std::string& accepts);

  int cardKind() const;
  void showStatus(const QString& text);

  std::unique_ptr<Ui::Form1> ui;
};

}  // namespace keycard
