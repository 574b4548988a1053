// The file association check box on the "关于" tab: it mirrors whether ".mp3"
// is claimed and claims or releases both extensions, at every start too.
#include <QCheckBox>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <filesystem>

#include "common/codepage.h"
#include "fileass/DesktopAssociation.h"
#include "main/Unit1.h"

void TForm1::SetUpAssociation() {
  std::filesystem::path program(QCoreApplication::applicationFilePath().toStdString());
  association_ = std::make_unique<fileass::TDesktopAssociation>(
      cp::PathToAnsi(program), fileass::TDesktopPlaces::FromEnvironment());
  {
    QSignalBlocker quiet(spSkinCheckBox2);
    spSkinCheckBox2->setChecked(association_->FileAss().IsExtensionClaimed("mp3"));
  }
  // Setting the box counts as its click: the association is made again with
  // the program's present path, or given back.
  spSkinCheckBox2Click();
}

void TForm1::spSkinCheckBox2Click() {
  if (association_) association_->FileAss().AssociateFiles(spSkinCheckBox2->isChecked());
}
