// Resource identifiers shared by the program and its resource script.
#pragma once

#define IDI_APP 1
#define IDI_INFORMATION 101
#define IDI_TYPEUSER 102
#define IDI_TYPEDOMAIN 103
