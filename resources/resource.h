// Resource identifiers shared by the program and its resource script.
#pragma once

#define IDI_APP 1
#define IDI_STATUS_INFO 101
#define IDI_TYPE_USER 102
#define IDI_TYPE_DOMAIN 103
