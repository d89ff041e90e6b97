// TStackValue: the byte queue of a hex event block.
#pragma once
