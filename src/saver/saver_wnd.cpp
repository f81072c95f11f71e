// saver_wnd: to be written.
