#pragma once

#include <xcb/xcb.h>

#include <string>

namespace vq {

// libxcb's entry points, loaded when the window first offers the clipboard
// something, so a headless run or the card never maps it.
#define VQ_XCB_FUNCTIONS(X)                                                                                         \
    X(connect, xcb_connect)                                                                                         \
    X(disconnect, xcb_disconnect)                                                                                   \
    X(connectionHasError, xcb_connection_has_error)                                                                 \
    X(getSetup, xcb_get_setup)                                                                                      \
    X(setupRootsIterator, xcb_setup_roots_iterator)                                                                 \
    X(screenNext, xcb_screen_next)                                                                                  \
    X(generateId, xcb_generate_id)                                                                                  \
    X(createWindow, xcb_create_window)                                                                              \
    X(destroyWindow, xcb_destroy_window)                                                                            \
    X(changeWindowAttributes, xcb_change_window_attributes)                                                         \
    X(internAtom, xcb_intern_atom)                                                                                  \
    X(internAtomReply, xcb_intern_atom_reply)                                                                       \
    X(setSelectionOwner, xcb_set_selection_owner)                                                                   \
    X(getSelectionOwner, xcb_get_selection_owner)                                                                   \
    X(getSelectionOwnerReply, xcb_get_selection_owner_reply)                                                        \
    X(convertSelection, xcb_convert_selection)                                                                      \
    X(changeProperty, xcb_change_property)                                                                          \
    X(deleteProperty, xcb_delete_property)                                                                          \
    X(sendEvent, xcb_send_event)                                                                                    \
    X(flush, xcb_flush)                                                                                             \
    X(pollForEvent, xcb_poll_for_event)                                                                             \
    X(getFileDescriptor, xcb_get_file_descriptor)                                                                   \
    X(getMaximumRequestLength, xcb_get_maximum_request_length)

struct XcbLibrary {
#define VQ_XCB_MEMBER(member, symbol) decltype(&::symbol) member = nullptr;
    VQ_XCB_FUNCTIONS(VQ_XCB_MEMBER)
#undef VQ_XCB_MEMBER
};

// Loads libxcb once per process; nullptr when it cannot be, with the reason in xcbLoadError().
const XcbLibrary* xcbLibrary();
std::string xcbLoadError();

} // namespace vq
