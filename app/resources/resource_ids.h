// Resource ids shared by the resource script and the code that loads them.
#pragma once

#define LV_IDI_PROGRAM 1
