/* Identifiers of the installer's dialog templates and their controls, shared
   by the resource script and the code. */
#pragma once

/* The medium prompt. */
#define IDD_INSERT_CDROM 140
#define IDC_INSERT_CDROM_TEXT 1035
