// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_PATH_DIALOG 100
#define IDC_PATH_PROMPT 101
#define IDC_PATH_ANSWER 102
