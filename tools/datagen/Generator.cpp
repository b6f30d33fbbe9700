#include "datagen/Generator.h"
