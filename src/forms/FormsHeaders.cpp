// Every public header of the forms compiles on its own, without a toolkit.
#include "AboutFrm.h"
#include "ContactDetailView.h"
#include "FrmConversion.h"
#include "FrmMain.h"
#include "Progress.h"
#include "View.h"
