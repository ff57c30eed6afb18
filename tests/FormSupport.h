// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MainFormUnit.h"

// The real window, silent: tests count failures instead of hearing them.
class TQuietForm : public TPackMonMainForm {
  public:
    using TPackMonMainForm::TPackMonMainForm;
    void Beep() override {}
};
