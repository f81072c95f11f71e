// water_wnd: to be written.
