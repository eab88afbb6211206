// UTF-8's plat_char_size, for the platforms whose text is UTF-8 and for a
// Windows code page that is: a lead byte tells how many bytes its character
// takes; any other byte stands alone.
#pragma once

inline unsigned utf8_char_size(unsigned char first)
{
    return first >= 0xC2 && first <= 0xDF   ? 2
           : first >= 0xE0 && first <= 0xEF ? 3
           : first >= 0xF0 && first <= 0xF4 ? 4
                                            : 1;
}
