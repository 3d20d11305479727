// Resource ids. Ids only: this header is read by the resource compiler too.
#pragma once

#define IDI_MAIN 128
#define IDD_MAIN 129
#define IDD_HINT 201

#define IDC_PERCENT -1
#define IDC_PROGRESS 1000
#define IDC_HINT_TEXT 1002
