#pragma once
// Resource ids shared by the resource script and the program.
#define IDI_PERCHLET 1
#define IDI_DEFAULT 101
#define IDB_CROSS 102
#define IDB_QUESTION 103
#define IDD_FRMEXIT 200
#define IDC_LABMSG 201
#define IDC_IMAGE1 202
#define IDC_BUTYES 203
#define IDC_BUTNO 204
// The question picture's surroundings are drawn in this colour and left out when it is shown.
#define QUESTION_KEY_COLOUR 0x00FF00FF
