// Placeholder until implemented.
#include "CAboutDlg.h"
