// toneweld-gui: the desktop window. Creates the main window and runs the message loop until the
// window is closed.
#include <QApplication>

#include "mainform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Tool tips and message boxes take the window's Japanese font too.
  QApplication::setFont(tw::UiFont());
  tw::TForm1 form;
  form.show();
  return QApplication::exec();
}
