// mode_choice: to be written.
