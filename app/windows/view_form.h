// The view form ("ViewPSP"): one entry of the passport file, shown and never written back.
//
// The caller reads the entry first and hands it over. While the form is open it holds a use
// of the passport file (the file is open already, so nothing is read), its name is the
// error reporter's current procedure, and the window opens where the stored position in
// section "ViewPSP" of the INI file puts it. Closing it ("Закрыть", Enter outside the
// entries, the close box) lets the use go, stores the position and brings the previous
// procedure name back.
//
// Keyboard: Tab and Shift+Tab move through the controls; in an entry Down and Enter go to
// the next control and Up to the previous one; on the button the arrows move the focus,
// Left and Up back, Right and Down on.
#pragma once

#include <QDialog>
#include <optional>

#include "app/error_reporter.h"
#include "app/passport_file.h"
#include "app/passport_record.h"
#include "platform/ini_manager.h"
#include "platform/toolkit/dialog_units.h"
#include "platform/toolkit/procedure_names.h"

class QPushButton;

namespace orvel::windows {

inline constexpr char kViewSection[] = "ViewPSP";

class ViewForm : public QDialog {
  Q_OBJECT

 public:
  struct Parts {
    app::PassportFile& passports;
    platform::IniManager& ini;
    platform::toolkit::ProcedureNames& procedures;
    app::ErrorReporter& reporter;
  };

  ViewForm(const Parts& parts, const app::PSP& passport, QWidget* parent = nullptr);
  ~ViewForm() override;

  // Shows the form modally and returns when it is closed.
  void run();
  // The opening steps and a non-modal show, for a caller that runs its own loop (tests).
  void open_form();

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_controls(const app::PSP& passport);
  void close_form();

  Parts parts_;
  const platform::toolkit::DialogUnits units_;
  QPushButton* close_button_ = nullptr;
  std::optional<platform::toolkit::ProcedureScope> procedure_;
  bool using_file_ = false;
};

}  // namespace orvel::windows
