#pragma once

#include "Setup/Wizard/modalDialog.hpp"

class CSetupObject;

// The end of a successful installation: the message and the script's finish
// actions as check boxes. OK hands the ticks to the configuration; Escape
// and the close box leave every choice clear, so nothing runs.
class CResultOK : public CDialog
{
public:
  explicit CResultOK(CSetupObject *setup);

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

private:
  // OK moves up to 7 pixels below the last action (or the message), and the
  // dialog shrinks to end 7 pixels below OK.
  void LayOut();

  CSetupObject *m_setup;
};
