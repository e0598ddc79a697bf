#pragma once
#include "High.h"
