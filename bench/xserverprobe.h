#pragma once

// Input and output as the user has them, through a connection of its own to
// the X server: keys pressed with the XTest extension, which the server
// hands to the focused window as it would a keyboard's, and the screen's
// pixels read back from the server, which answers only after drawing all
// that the program sent before. Used from a thread of its own while the
// program's event loop runs.

#include <QRect>
#include <QString>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace benchsupport {

class XServerProbe {
public:
    XServerProbe()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection)) {
            m_failure = QStringLiteral("no X server to connect to");
            return;
        }
        const xcb_setup_t* setup = xcb_get_setup(m_connection);
        m_root = xcb_setup_roots_iterator(setup).data->root;
        m_minKeycode = setup->min_keycode;
        m_maxKeycode = setup->max_keycode;
        const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
        if (!xtest || !xtest->present)
            m_failure = QStringLiteral("the X server has no XTest extension");
        readKeyboardMapping();
    }

    ~XServerProbe()
    {
        for (xcb_keycode_t keycode : m_borrowedKeycodes)
            mapKeycode(keycode, 0);
        xcb_flush(m_connection);
        xcb_disconnect(m_connection);
    }

    XServerProbe(const XServerProbe&) = delete;
    XServerProbe& operator=(const XServerProbe&) = delete;

    // Why the probe can't be used, or empty.
    QString failure() const { return m_failure; }

    // The key that types `keysym`: the keyboard's own, else a spare keycode
    // mapped to it (as xdotool types characters no key has). 0 when none.
    xcb_keycode_t keyFor(xcb_keysym_t keysym)
    {
        for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
            if (symAt(keycode, 0) == keysym)
                return xcb_keycode_t(keycode);
        }
        for (int keycode = m_maxKeycode; keycode >= m_minKeycode; --keycode) {
            bool spare = true;
            for (int level = 0; level < m_symsPerKeycode; ++level)
                spare = spare && symAt(keycode, level) == 0;
            if (spare) {
                mapKeycode(xcb_keycode_t(keycode), keysym);
                m_borrowedKeycodes.push_back(xcb_keycode_t(keycode));
                return xcb_keycode_t(keycode);
            }
        }
        return 0;
    }

    // The keysym of a character beyond Latin-1.
    static xcb_keysym_t characterKeysym(char16_t character) { return 0x01000000u | character; }

    // Presses and releases each key in turn, sent at once.
    void type(const std::vector<xcb_keycode_t>& keys)
    {
        for (xcb_keycode_t key : keys) {
            xcb_test_fake_input(m_connection, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
            xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        xcb_flush(m_connection);
    }

    // The screen's pixels in `area` (global coordinates), 0x00RRGGBB, row by
    // row; empty when the server refuses.
    std::vector<std::uint32_t> pixels(const QRect& area)
    {
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            m_connection,
            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(area.x()),
                          int16_t(area.y()), uint16_t(area.width()), uint16_t(area.height()), ~0u),
            nullptr);
        std::vector<std::uint32_t> result;
        // A 24-bit screen keeps a pixel in 32 bits.
        if (reply && xcb_get_image_data_length(reply) == area.width() * area.height() * 4) {
            const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply));
            result.assign(data, data + area.width() * area.height());
            for (std::uint32_t& pixel : result)
                pixel &= 0xFFFFFF;
        }
        std::free(reply);
        return result;
    }

private:
    void readKeyboardMapping()
    {
        const int count = m_maxKeycode - m_minKeycode + 1;
        xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
            m_connection, xcb_get_keyboard_mapping(m_connection, xcb_keycode_t(m_minKeycode), uint8_t(count)),
            nullptr);
        if (!reply) {
            m_failure = QStringLiteral("the X server did not give its keyboard mapping");
            return;
        }
        m_symsPerKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        m_keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
        std::free(reply);
    }

    xcb_keysym_t symAt(int keycode, int level) const
    {
        const size_t at = size_t((keycode - m_minKeycode) * m_symsPerKeycode + level);
        return at < m_keysyms.size() ? m_keysyms[at] : 0;
    }

    void mapKeycode(xcb_keycode_t keycode, xcb_keysym_t keysym)
    {
        std::vector<xcb_keysym_t> syms(size_t(m_symsPerKeycode), 0);
        if (!syms.empty()) {
            syms[0] = keysym;
            if (syms.size() > 1)
                syms[1] = keysym;
        }
        xcb_change_keyboard_mapping(m_connection, 1, keycode, uint8_t(m_symsPerKeycode), syms.data());
        for (int level = 0; level < m_symsPerKeycode; ++level)
            m_keysyms[size_t((keycode - m_minKeycode) * m_symsPerKeycode + level)] = syms[size_t(level)];
        xcb_flush(m_connection);
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    int m_minKeycode = 8;
    int m_maxKeycode = 255;
    int m_symsPerKeycode = 0;
    std::vector<xcb_keysym_t> m_keysyms;
    std::vector<xcb_keycode_t> m_borrowedKeycodes;
    QString m_failure;
};

} // namespace benchsupport
